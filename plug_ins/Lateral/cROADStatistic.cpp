#include "cROADStatistic.h"

#include <algorithm>
#include <cstdlib>

int cROADStatistic::SumOfFourSmallest(int* d)
{
  std::nth_element(d, d + 4, d + 8);
  return d[0] + d[1] + d[2] + d[3];
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

void cROADStatistic::Build(cBMPSurface& s, int x0, int y0, int x1, int y1)
{
  const int w = s.GetWidth();
  const int h = s.GetHeight();
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, w);
  y1 = std::min(y1, h);
  X0 = x0;
  Y0 = y0;
  Width = std::max(0, x1 - x0);
  Channels = s.GetChannelsCount();
  Map.assign(size_t(Width) * size_t(std::max(0, y1 - y0)) * size_t(Channels), 0);
  const int saved = s.CurrentChannel;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      for (int c = 0; c < Channels; ++c) {
        uint16_t& r = Map[(size_t(y - Y0) * size_t(Width) + size_t(x - X0)) * size_t(Channels) + size_t(c)];
        if (x >= 1 && x + 1 < w && y >= 1 && y + 1 < h) {
          // Interior: the ring is inside, read the rows directly.
          const int g = s.Row(y)[x * Channels + c];
          int d[8];
          int n = 0;
          for (int j = -1; j <= 1; ++j) {
            const uint8_t* row = s.Row(y + j);
            for (int i = -1; i <= 1; ++i)
              if (i != 0 || j != 0) d[n++] = std::abs(int(row[(x + i) * Channels + c]) - g);
          }
          r = uint16_t(SumOfFourSmallest(d));
        } else {
          s.CurrentChannel = c;
          r = uint16_t(At(s, x, y));
        }
      }
  s.CurrentChannel = saved;
}

void cROADStatistic::Clear()
{
  Map.clear();
  Map.shrink_to_fit();
  Width = 0;
}
