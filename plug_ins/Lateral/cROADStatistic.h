#pragma once
// Rank-ordered absolute differences: R(q) is the sum of the four smallest absolute differences
// between q and its eight neighbours. Small in smooth areas, large at impulses.
#include <cstdint>
#include <vector>

#include "cBMPSurface.h"

class cROADStatistic {
public:
  // R at (u, v) of the surface's current channel; (u, v) and each neighbour are resolved by
  // the border rule separately.
  static int At(const cBMPSurface& s, int u, int v);
  // Sum of the four smallest of eight differences.
  static int SumOfFourSmallest(int* d);

  // Precomputes R for every pixel of [x0, x1) x [y0, y1) (clipped to the surface), every channel.
  void Build(cBMPSurface& s, int x0, int y0, int x1, int y1);
  int Get(int x, int y, int c) const { return Map[(size_t(y - Y0) * size_t(Width) + size_t(x - X0)) * size_t(Channels) + size_t(c)]; }
  void Clear();

private:
  std::vector<uint16_t> Map;
  int X0 = 0;
  int Y0 = 0;
  int Width = 0;
  int Channels = 1;
};
