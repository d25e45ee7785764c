#pragma once
// Pictures for the filter tests: given row by row, probes of awkward shapes, impulse corruption.
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "KvTestSupport.h"

namespace kvtest {

// A grey picture given row by row.
inline void Rows(cBMPSurface& s, const std::vector<std::vector<int>>& rows)
{
  const int h = int(rows.size());
  const int w = int(rows[0].size());
  Fill(s, w, h, 1, [&](int x, int y, int) { return uint8_t(rows[size_t(y)][size_t(x)]); });
}

// Pictures that exercise borders, thin shapes and windows larger than the picture.
inline std::vector<std::unique_ptr<cImage>> ProbePictures()
{
  std::vector<std::unique_ptr<cImage>> pictures;
  const int sizes[][3] = {{23, 17, 1}, {13, 11, 3}, {1, 9, 1}, {8, 1, 1}, {3, 2, 3}};
  uint32_t seed = 7;
  for (auto& s : sizes) {
    pictures.push_back(std::make_unique<cImage>());
    FillRandom(*pictures.back()->GetSurface(), s[0], s[1], s[2], seed++);
  }
  // Smooth picture with a few impulses, where the weighted filters do real work.
  pictures.push_back(std::make_unique<cImage>());
  Fill(*pictures.back()->GetSurface(), 19, 15, 3, [](int x, int y, int c) {
    if ((x * 7 + y * 3) % 11 == 0) return uint8_t(c == 1 ? 0 : 255);
    return uint8_t(40 + 5 * x + 3 * y + 10 * c);
  });
  return pictures;
}

// Salt and pepper: each sample of every channel becomes 0 or 255 with the given probability.
inline void AddImpulses(cBMPSurface& s, double probability, uint32_t seed)
{
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> share(0.0, 1.0);
  const int rowBytes = s.GetWidth() * s.GetChannelsCount();
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int i = 0; i < rowBytes; ++i)
      if (share(rng) < probability) s.Row(y)[i] = (rng() & 1) ? 255 : 0;
}

// One channel of a colour picture as a grey picture.
inline void ExtractChannel(cBMPSurface& colour, int c, cBMPSurface& grey)
{
  Fill(grey, colour.GetWidth(), colour.GetHeight(), 1, [&](int x, int y, int) { return Pixel(colour, x, y, c); });
}

}  // namespace kvtest
