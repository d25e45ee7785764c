#pragma once
#include "acSampleNoise.h"

// Replaces a random share of samples by 0.
class PepperNoise : public acSampleNoise<PepperNoise> {
public:
  PepperNoise();
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  void PreProcessing() override;

private:
  sParamHandle PercentParam;
  unsigned HitCount = 0;
};
