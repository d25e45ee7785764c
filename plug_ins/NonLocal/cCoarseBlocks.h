#pragma once
// The hard-thresholded 2-D DCT of every block position in a rectangle of a picture plane: what
// the first stage compares under strong noise. Below the threshold a coefficient is mostly
// noise, so two blocks' distance here is mostly their structure's; the DC is always kept.
// Without the threshold the distance would equal the pixel distance (the DCT is orthonormal).
#include <vector>

#include "cBlockDCT.h"
#include "cBlockMatcher.h"

class cCoarseBlocks {
public:
  cCoarseBlocks(const cBlockDCT& dct, float threshold);

  // Fills the table for the block positions x0..x1-1 across and y0..y1-1 down of plane (rows
  // rowStride apart, each position's block lying within it).
  void Cover(const float* plane, int rowStride, int x0, int y0, int x1, int y1);

  // The matches of the block at (x, y), as matcher finds them among the covered positions,
  // in picture positions. The search window must lie in the covered rectangle wherever it lies
  // in the picture (positions across, down).
  int Find(const cBlockMatcher& matcher, int radius, const int positions[2], int x, int y,
           std::vector<sMatch>& matches) const;

  // The coefficients of the block at (x, y), N * N of them, row by row.
  const float* Block(int x, int y) const { return Source.Block(x - X0, y - Y0); }

private:
  const cBlockDCT& DCT;
  float Threshold;
  int X0 = 0, Y0 = 0;
  sBlockSource Source;
  std::vector<float> Table;
};
