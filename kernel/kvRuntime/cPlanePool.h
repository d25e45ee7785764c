#pragma once
// Process-wide store of large real work planes. Measuring a picture needs several planes of
// the picture's size; taking them from freshly mapped memory costs a page fault per 4 KiB,
// which is far more than the arithmetic on them. Planes given back are kept (up to a byte
// limit) and handed out again, to any thread: the quality indices run on short-lived threads.
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

class cPlanePool {
public:
  // Blocks are aligned for the widest vector loads (and as FFTW's own allocator aligns).
  static constexpr size_t Alignment = 64;
  struct sAlignedDelete {
    void operator()(double* block) const;
  };
  using tBlock = std::unique_ptr<double[], sAlignedDelete>;

  explicit cPlanePool(size_t retainedLimitBytes);
  cPlanePool(const cPlanePool&) = delete;
  cPlanePool& operator=(const cPlanePool&) = delete;

  // The pool every measure uses.
  static cPlanePool& Shared();

  // A block of at least count doubles (capacity tells how many), contents unspecified.
  // A kept block is reused only when it is not much larger than asked for, so that small
  // requests do not hold on to large blocks.
  tBlock Take(size_t count, size_t& capacity);
  // Keeps the block for reuse, or frees it when the pool would exceed its limit.
  void Give(tBlock block, size_t capacity);

  size_t RetainedBytes() const;
  size_t RetainedBlocks() const;
  // Frees every kept block.
  void Clear();

private:
  struct sBlock {
    tBlock Data;
    size_t Capacity;
  };
  mutable std::mutex Lock;
  std::vector<sBlock> Kept;
  size_t Retained = 0;
  const size_t Limit;
};
