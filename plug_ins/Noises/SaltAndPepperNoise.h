#pragma once
#include "acSampleNoise.h"

// Replaces a random share of samples by 255 or 0 in equal proportion; rewrites every sample.
class SaltAndPepperNoise : public acSampleNoise<SaltAndPepperNoise> {
public:
  SaltAndPepperNoise();
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  void PreProcessing() override;

private:
  sParamHandle PercentParam;
  // Hit when the draw r (0..99) is below this count.
  unsigned HitCount = 0;
};
