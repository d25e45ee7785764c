#include "cROADStatistic.h"

#include <algorithm>
#include <cstdlib>
#include "kvRuntime/kvVectorClones.h"

int cROADStatistic::SumOfFourSmallest(int* d)
{
  std::nth_element(d, d + 4, d + 8);
  return d[0] + d[1] + d[2] + d[3];
}

namespace {
inline void Order(uint8_t& a, uint8_t& b)
{
  const uint8_t lo = std::min(a, b);
  b = std::max(a, b);
  a = lo;
}
inline uint8_t Distance(uint8_t a, uint8_t b)
{
  return uint8_t(std::max(a, b) - std::min(a, b));
}
}  // namespace

// Both halves of the eight differences sorted, then the four smallest of all are the pairwise
// minima of one half against the other reversed; their sum does not depend on the order.
KV_VECTOR_CLONES void cROADStatistic::Row(const uint8_t* up, const uint8_t* mid, const uint8_t* down, int channels,
                                          int first, int end, uint16_t* r)
{
  for (int j = first; j < end; ++j) {
    const uint8_t g = mid[j];
    uint8_t a0 = Distance(up[j - channels], g), a1 = Distance(up[j], g), a2 = Distance(up[j + channels], g),
            a3 = Distance(mid[j - channels], g);
    uint8_t b0 = Distance(mid[j + channels], g), b1 = Distance(down[j - channels], g), b2 = Distance(down[j], g),
            b3 = Distance(down[j + channels], g);
    Order(a0, a1), Order(a2, a3), Order(a0, a2), Order(a1, a3), Order(a1, a2);
    Order(b0, b1), Order(b2, b3), Order(b0, b2), Order(b1, b3), Order(b1, b2);
    r[j] = uint16_t(std::min(a0, b3) + std::min(a1, b2) + std::min(a2, b1) + std::min(a3, b0));
  }
}

int cROADStatistic::At(const cBMPSurface& s, int u, int v)
{
  const int g = s.GetPixel(u, v);
  int d[8];
  int n = 0;
  for (int j = -1; j <= 1; ++j)
    for (int i = -1; i <= 1; ++i)
      if (i != 0 || j != 0) d[n++] = std::abs(int(s.GetPixel(u + i, v + j)) - g);
  return SumOfFourSmallest(d);
}
