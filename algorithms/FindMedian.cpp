#include "FindMedian.h"

#include <algorithm>
#include <array>

uint8_t FindMedian(const uint8_t* values, unsigned count)
{
  if (count == 0) return 0;
  // Counting selection: no allocation, linear in count.
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
