#pragma once
// A plane of doubles borrowed from a cPlanePool and given back when the buffer is destroyed
// or resized beyond its capacity. Contents are unspecified until written.
#include <cstddef>
#include <memory>

#include "kvRuntime/cPlanePool.h"

class cPlaneBuffer {
public:
  cPlaneBuffer() = default;
  explicit cPlaneBuffer(size_t count, cPlanePool& pool = cPlanePool::Shared());
  ~cPlaneBuffer();
  cPlaneBuffer(cPlaneBuffer&& other) noexcept;
  cPlaneBuffer& operator=(cPlaneBuffer&& other) noexcept;
  cPlaneBuffer(const cPlaneBuffer&) = delete;
  cPlaneBuffer& operator=(const cPlaneBuffer&) = delete;

  // Keeps the block when it is large enough; the contents are unspecified afterwards.
  void Resize(size_t count);
  void Fill(double value);
  // Gives the block back to the pool.
  void Release();

  double* data() { return Data.get(); }
  const double* data() const { return Data.get(); }
  size_t size() const { return Size; }
  bool empty() const { return Size == 0; }
  double& operator[](size_t i) { return Data[i]; }
  const double& operator[](size_t i) const { return Data[i]; }
  double* begin() { return Data.get(); }
  double* end() { return Data.get() + Size; }
  const double* begin() const { return Data.get(); }
  const double* end() const { return Data.get() + Size; }

private:
  cPlanePool* Pool = &cPlanePool::Shared();
  cPlanePool::tBlock Data;
  size_t Size = 0;
  size_t Capacity = 0;
};
