#pragma once
#include <array>

#include "acNoiseOperation.h"

// Signal-dependent noise: g + c * sqrt(g) * n with n a rounded normal deviate (0, sigma).
class SimpleSpeckleNoise : public acNoiseOperation {
public:
  SimpleSpeckleNoise();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  void TransformSpan(int y, int firstX, int endX) override;

private:
  sParamHandle SigmaParam;
  sParamHandle CorrelationParam;
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  float Sigma = 0.0f;
  float Correlation = 0.0f;
  // c * sqrt(g) for every sample value g.
  std::array<double, 256> Scale{};
};
