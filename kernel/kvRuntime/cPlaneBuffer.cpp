#include "kvRuntime/cPlaneBuffer.h"

#include <algorithm>
#include <utility>

cPlaneBuffer::cPlaneBuffer(size_t count, cPlanePool& pool) : Pool(&pool)
{
  Resize(count);
}

cPlaneBuffer::~cPlaneBuffer()
{
  Release();
}

cPlaneBuffer::cPlaneBuffer(cPlaneBuffer&& other) noexcept
    : Pool(other.Pool),
      Data(std::move(other.Data)),
      Size(std::exchange(other.Size, 0)),
      Capacity(std::exchange(other.Capacity, 0))
{}

cPlaneBuffer& cPlaneBuffer::operator=(cPlaneBuffer&& other) noexcept
{
  if (this != &other) {
    Release();
    Pool = other.Pool;
    Data = std::move(other.Data);
    Size = std::exchange(other.Size, 0);
    Capacity = std::exchange(other.Capacity, 0);
  }
  return *this;
}

void cPlaneBuffer::Resize(size_t count)
{
  if (count > Capacity) {
    Release();
    Data = Pool->Take(count, Capacity);
  }
  Size = count;
}

void cPlaneBuffer::Fill(double value)
{
  std::fill(begin(), end(), value);
}

void cPlaneBuffer::Release()
{
  if (Data) Pool->Give(std::move(Data), Capacity);
  Data.reset();
  Size = 0;
  Capacity = 0;
}
