#include "cWindowMedians.h"

#include <algorithm>
#include <array>

namespace {
// Windows of up to this many samples use the network; its comparator count grows faster
// than the histogram's per-position cost beyond that.
constexpr int NetworkLimit = 128;
}  // namespace

void cWindowMedians::Build(int size)
{
  if (size == Size) return;
  Size = size;
  const int count = size * size;
  if (count <= NetworkLimit) {
    Network.Build(unsigned(count));
    Block.assign(size_t(count) * cMedianNetwork::BlockWidth, 0);
  } else {
    Block.clear();
  }
}

void cWindowMedians::Row(const uint8_t* plane, int stride, int r, int width, uint8_t* out)
{
  if (Size * Size <= NetworkLimit)
    RowByNetwork(plane, stride, r, width, out);
  else
    RowByHistogram(plane, stride, r, width, out);
}

void cWindowMedians::RowByNetwork(const uint8_t* plane, int stride, int r, int width, uint8_t* out)
{
  constexpr int lanes = int(cMedianNetwork::BlockWidth);
  const uint8_t* result = Block.data() + size_t(Network.ResultRow()) * lanes;
  for (int start = 0; start < width; start += lanes) {
    const int count = std::min(lanes, width - start);
    uint8_t* row = Block.data();
    for (int dr = 0; dr < Size; ++dr) {
      const uint8_t* in = plane + size_t(r + dr) * size_t(stride) + start;
      for (int dc = 0; dc < Size; ++dc, row += lanes) std::copy(in + dc, in + dc + count, row);
    }
    Network.Apply(Block.data());
    std::copy(result, result + count, out + start);
  }
}

// Huang's running histogram: moving one column right removes one window column and adds
// another; the median is tracked by the number of samples below it.
void cWindowMedians::RowByHistogram(const uint8_t* plane, int stride, int r, int width, uint8_t* out) const
{
  std::array<int, 256> histogram{};
  const int rank = (Size * Size - 1) / 2;
  const uint8_t* top = plane + size_t(r) * size_t(stride);
  for (int dr = 0; dr < Size; ++dr)
    for (int dc = 0; dc < Size; ++dc) ++histogram[top[size_t(dr) * size_t(stride) + size_t(dc)]];
  int median = 0, below = 0;
  for (int col = 0;; ++col) {
    while (below > rank) below -= histogram[--median];
    while (below + histogram[median] <= rank) below += histogram[median++];
    out[col] = uint8_t(median);
    if (col + 1 >= width) break;
    for (int dr = 0; dr < Size; ++dr) {
      const uint8_t* row = top + size_t(dr) * size_t(stride);
      const uint8_t gone = row[col], added = row[col + Size];
      --histogram[gone];
      ++histogram[added];
      below += int(added < median) - int(gone < median);
    }
  }
}
