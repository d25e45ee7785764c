#pragma once
#include "acNoiseOperation.h"

// Adds a normal deviate (mean, sigma), rounded half up, to every sample; reseeds each run.
class GaussianNoise : public acNoiseOperation {
public:
  GaussianNoise();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  void TransformSpan(int y, int firstX, int endX) override;

private:
  sParamHandle MeanParam;
  sParamHandle SigmaParam;
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  float Mean = 0.0f;
  float Sigma = 0.0f;
};
