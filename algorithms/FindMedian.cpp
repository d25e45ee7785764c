#include "FindMedian.h"

#include <algorithm>
#include <array>

namespace {

inline void Order(uint8_t& a, uint8_t& b)
{
  const uint8_t lo = std::min(a, b);
  b = std::max(a, b);
  a = lo;
}

// Median of nine by the classic 19-exchange network (the 3 x 3 window).
inline uint8_t MedianOfNine(const uint8_t* v)
{
  uint8_t p[9];
  std::copy(v, v + 9, p);
  Order(p[1], p[2]); Order(p[4], p[5]); Order(p[7], p[8]);
  Order(p[0], p[1]); Order(p[3], p[4]); Order(p[6], p[7]);
  Order(p[1], p[2]); Order(p[4], p[5]); Order(p[7], p[8]);
  Order(p[0], p[3]); Order(p[5], p[8]); Order(p[4], p[7]);
  Order(p[3], p[6]); Order(p[1], p[4]); Order(p[2], p[5]);
  Order(p[4], p[7]); Order(p[4], p[2]); Order(p[6], p[4]);
  Order(p[4], p[2]);
  return p[4];
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
  if (count > StackLimit) return MedianByHistogram(values, count);
  uint8_t copy[StackLimit];
  std::copy(values, values + count, copy);
  const unsigned rank = (count - 1) / 2;
  std::nth_element(copy, copy + rank, copy + count);
  return copy[rank];
}
