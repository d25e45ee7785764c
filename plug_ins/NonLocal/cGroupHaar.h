#pragma once
// The orthonormal 1-D Haar transform along a group of blocks, to full depth: count (a power of
// two) vectors of length lanes lie one after the other, and every lane is transformed across
// them at once, so the inner loops run along the lanes.
#include <vector>

class cGroupHaar {
public:
  // The largest power of two not above n (n >= 1).
  static int PowerOfTwoBelow(int n);

  void Forward(float* data, int count, int lanes);
  void Inverse(float* data, int count, int lanes);

private:
  std::vector<float> Scratch;
};
