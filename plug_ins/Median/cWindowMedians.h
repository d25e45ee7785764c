#pragma once
// Medians (rank (n-1)/2 of the n = size x size samples, as FindMedian) of every square window
// along one row of a padded byte plane: output column c covers padded rows r..r+size-1 and
// padded columns c..c+size-1. Small windows go through a comparator network, sixty-four
// positions at once; large ones through a 256-bin histogram slid along the row.
#include <cstdint>
#include <vector>

#include "cMedianNetwork.h"

class cWindowMedians {
public:
  // Window side (>= 1); cheap to call again with the same size.
  void Build(int size);
  // out[0..width-1] for padded row r of a plane whose rows are `stride` bytes apart; the plane
  // must hold rows r..r+size-1 and columns 0..width+size-2.
  void Row(const uint8_t* plane, int stride, int r, int width, uint8_t* out);

private:
  void RowByNetwork(const uint8_t* plane, int stride, int r, int width, uint8_t* out);
  void RowByHistogram(const uint8_t* plane, int stride, int r, int width, uint8_t* out) const;

  int Size = 0;
  cMedianNetwork Network;
  std::vector<uint8_t> Block;
};
