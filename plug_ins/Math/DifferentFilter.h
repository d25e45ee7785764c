#pragma once
#include <cstdint>
#include <vector>

#include "acSingleChannelOperation.h"

// "Different Filter": mixed backward difference of order "Degree X" in x and "Degree Y" in y,
// |sum of g(x - i, y - j) C(Dx, i) C(Dy, j) (-1)^(i+Dx+j+Dy)|, capped at 255.
class DifferentFilter : public acSingleChannelOperation {
public:
  DifferentFilter();
  void PreProcessing() override;
  void PostProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

  // Off: every sample read through the border rule (the reference of the interior path).
  bool FastPath = true;

private:
  int32_t DegreeX = 0;
  int32_t DegreeY = 0;
  // Signed binomial weights by i * (DegreeY + 1) + j. 64-bit: with both degrees high the sum
  // reaches 255 * 2^40.
  std::vector<int64_t> Weights;
};
