#pragma once
#include "acNoiseOperation.h"

// Replaces a random share of samples by normal values (mean, deviation), rounded and clamped.
class ImpulseGaussianNoise : public acNoiseOperation {
public:
  ImpulseGaussianNoise();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  void TransformSpan(int y, int firstX, int endX) override;

private:
  sParamHandle PercentParam;
  sParamHandle MeanParam;
  sParamHandle DeviationParam;
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  unsigned HitCount = 0;
  float Mean = 0.0f;
  float Deviation = 0.0f;
};
