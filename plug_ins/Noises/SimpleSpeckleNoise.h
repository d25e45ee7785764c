#pragma once
#include <array>

#include "acSampleNoise.h"

// Signal-dependent noise: g + c * sqrt(g) * n with n a rounded normal deviate (0, sigma).
class SimpleSpeckleNoise : public acSampleNoise<SimpleSpeckleNoise> {
public:
  SimpleSpeckleNoise();
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  void PreProcessing() override;

protected:
  void TransformSpan(int y, int firstX, int endX) override;

private:
  sParamHandle SigmaParam;
  sParamHandle CorrelationParam;
  float Sigma = 0.0f;
  float Correlation = 0.0f;
  // c * sqrt(g) for every sample value g.
  std::array<double, 256> Scale{};
};
