#include "FindMedian.h"

#include <algorithm>
#include <array>

#include "kvByteVectors.h"

namespace {

using kvByteVectors::Order;

// Median of nine by the classic 19-exchange network (the 3 x 3 window).
inline uint8_t MedianOfNine(const uint8_t* v)
{
  uint8_t p[9];
  std::copy(v, v + 9, p);
  return kvByteVectors::MedianOfNine(p);
}

// Fewer than nine values: the nine-value network on the values and enough 0s below and 255s
// above them that its middle is the values' own lower middle (rank (count - 1) / 2 of the
// values is rank 4 of the nine once 4 - (count - 1) / 2 values at or below all of them come
// first). Without branches, where a partial sort of a few values mispredicts most of them;
// detector filters take such medians of their unflagged neighbours millions of times.
inline uint8_t MedianOfFewerThanNine(const uint8_t* values, unsigned count)
{
  uint8_t p[9];
  const unsigned low = 4 - (count - 1) / 2;
  std::fill(p, p + 9, uint8_t(255));
  std::fill(p, p + low, uint8_t(0));
  std::copy(values, values + count, p + low);
  return MedianOfNine(p);
}

// Counts above this size select through a histogram instead of a stack copy.
constexpr unsigned StackLimit = 1024;

uint8_t MedianByHistogram(const uint8_t* values, unsigned count)
{
  std::array<unsigned, 256> histogram{};
  for (unsigned i = 0; i < count; ++i) ++histogram[values[i]];
  const unsigned rank = (count - 1) / 2;
  unsigned seen = 0;
  for (unsigned v = 0; v < 256; ++v) {
    seen += histogram[v];
    if (seen > rank) return uint8_t(v);
  }
  return 255;
}

}  // namespace

uint8_t FindMedian(const uint8_t* values, unsigned count)
{
  if (count == 0) return 0;
  if (count == 9) return MedianOfNine(values);
  if (count <= 2) return std::min(values[0], values[count - 1]);
  if (count < 9) return MedianOfFewerThanNine(values, count);
  if (count > StackLimit) return MedianByHistogram(values, count);
  uint8_t copy[StackLimit];
  std::copy(values, values + count, copy);
  const unsigned rank = (count - 1) / 2;
  std::nth_element(copy, copy + rank, copy + count);
  return copy[rank];
}
