#pragma once
// Rank-ordered absolute differences: R(q) is the sum of the four smallest absolute differences
// between q and its eight neighbours. Small in smooth areas, large at impulses.
#include <cstdint>

#include "kvPixels/cBMPSurface.h"

class cROADStatistic {
public:
  // R at (u, v) of the surface's current channel; (u, v) and each neighbour are resolved by
  // the border rule separately.
  static int At(const cBMPSurface& s, int u, int v);
  // Sum of the four smallest of eight differences.
  static int SumOfFourSmallest(int* d);

  // R of samples first .. end - 1 of a row (as flat sample indices, neighbours channels
  // apart) from that row and the rows above and below, written to r[first .. end - 1]. The
  // rows must hold every neighbour; padded rows give R at positions outside the picture the
  // way At resolves them.
  static void Row(const uint8_t* up, const uint8_t* mid, const uint8_t* down, int channels, int first, int end,
                  uint16_t* r);
};
