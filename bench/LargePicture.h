#pragma once
// One operation of a package run on a 2048 x 2048 picture (the size of the speed goals),
// grey or colour, with the same kind of content as the 512 x 512 benchmarks.
#include <random>

#include "BenchSupport.h"

namespace kvbench {

inline void MakeLargePicture(cImage& image, int channels)
{
  constexpr int side = 2048;
  image.SetSize(side, side, channels);
  cBMPSurface& s = *image.GetSurface();
  std::mt19937 rng(5);
  for (int y = 0; y < side; ++y) {
    uint8_t* row = s.Row(y);
    for (int x = 0; x < side; ++x)
      for (int c = 0; c < channels; ++c) {
        const unsigned r = rng();
        row[x * channels + c] = uint8_t(r % 20 == 0 ? (r & 0x100 ? 255 : 0) : (x + 2 * y + 40 * c) / 4 % 256);
      }
  }
}

// The same benchmarks on 2048 x 2048, named Id2048.
inline bool RegisterLargeFilters(const std::vector<sFilterBench>& filters)
{
  return RegisterFilters(filters, "2048", MakeLargePicture, 2048);
}

}  // namespace kvbench
