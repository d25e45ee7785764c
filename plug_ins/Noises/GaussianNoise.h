#pragma once
#include "acSampleNoise.h"

// Adds a normal deviate (mean, sigma), rounded half up, to every sample; reseeds each run.
class GaussianNoise : public acSampleNoise<GaussianNoise> {
public:
  GaussianNoise();
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  void PreProcessing() override;

protected:
  void TransformSpan(int y, int firstX, int endX) override;

private:
  sParamHandle MeanParam;
  sParamHandle SigmaParam;
  float Mean = 0.0f;
  float Sigma = 0.0f;
};
