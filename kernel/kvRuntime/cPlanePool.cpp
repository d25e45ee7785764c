#include "kvRuntime/cPlanePool.h"

#include <new>

namespace {
// Enough for the planes of three simultaneous measures of a few-megapixel colour picture.
constexpr size_t SharedLimitBytes = size_t(128) << 20;
}  // namespace

void cPlanePool::sAlignedDelete::operator()(double* block) const
{
  ::operator delete[](block, std::align_val_t(Alignment));
}

cPlanePool::cPlanePool(size_t retainedLimitBytes) : Limit(retainedLimitBytes) {}

cPlanePool& cPlanePool::Shared()
{
  static cPlanePool pool(SharedLimitBytes);
  return pool;
}

cPlanePool::tBlock cPlanePool::Take(size_t count, size_t& capacity)
{
  if (count == 0) {
    capacity = 0;
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> guard(Lock);
    size_t best = Kept.size();
    for (size_t i = 0; i < Kept.size(); ++i) {
      const size_t c = Kept[i].Capacity;
      if (c >= count && c <= 2 * count && (best == Kept.size() || c < Kept[best].Capacity)) best = i;
    }
    if (best != Kept.size()) {
      sBlock block = std::move(Kept[best]);
      Kept[best] = std::move(Kept.back());
      Kept.pop_back();
      Retained -= block.Capacity * sizeof(double);
      capacity = block.Capacity;
      return std::move(block.Data);
    }
  }
  capacity = count;
  return tBlock(static_cast<double*>(::operator new[](count * sizeof(double), std::align_val_t(Alignment))));
}

void cPlanePool::Give(tBlock block, size_t capacity)
{
  if (!block || capacity == 0) return;
  std::unique_lock<std::mutex> guard(Lock);
  if (Retained + capacity * sizeof(double) > Limit) {
    guard.unlock();
    block.reset();
    return;
  }
  Retained += capacity * sizeof(double);
  Kept.push_back({std::move(block), capacity});
}

size_t cPlanePool::RetainedBytes() const
{
  std::lock_guard<std::mutex> guard(Lock);
  return Retained;
}

size_t cPlanePool::RetainedBlocks() const
{
  std::lock_guard<std::mutex> guard(Lock);
  return Kept.size();
}

void cPlanePool::Clear()
{
  std::vector<sBlock> freed;
  {
    std::lock_guard<std::mutex> guard(Lock);
    freed.swap(Kept);
    Retained = 0;
  }
}
