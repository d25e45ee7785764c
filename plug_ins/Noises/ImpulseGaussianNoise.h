#pragma once
#include "acSampleNoise.h"

// Replaces a random share of samples by normal values (mean, deviation), rounded and clamped.
class ImpulseGaussianNoise : public acSampleNoise<ImpulseGaussianNoise> {
public:
  ImpulseGaussianNoise();
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  void PreProcessing() override;

private:
  sParamHandle PercentParam;
  sParamHandle MeanParam;
  sParamHandle DeviationParam;
  unsigned HitCount = 0;
  float Mean = 0.0f;
  float Deviation = 0.0f;
};
