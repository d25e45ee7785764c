#pragma once
#include "acSampleNoise.h"

// Replaces a random share of samples by uniform values 0..255; draws the value for every
// sample, hit or not. Continues the shared random sequence (no reseed).
class RandomValuedNoise : public acSampleNoise<RandomValuedNoise> {
public:
  RandomValuedNoise();
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  void PreProcessing() override;

private:
  sParamHandle ProbabilityParam;
  unsigned HitCount = 0;
};
