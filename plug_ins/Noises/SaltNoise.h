#pragma once
#include "acSampleNoise.h"

// Replaces a random share of samples by 255.
class SaltNoise : public acSampleNoise<SaltNoise> {
public:
  SaltNoise();
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  void PreProcessing() override;

private:
  sParamHandle PercentParam;
  unsigned HitCount = 0;
};
