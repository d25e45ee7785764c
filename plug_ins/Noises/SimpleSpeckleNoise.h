#pragma once
#include "acNoiseOperation.h"

// Signal-dependent noise: g + c * sqrt(g) * n with n a rounded normal deviate (0, sigma).
class SimpleSpeckleNoise : public acNoiseOperation {
public:
  SimpleSpeckleNoise();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;
  void OperationItself(const tTerminateFlag& terminated) override;

private:
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  float Sigma = 0.0f;
  float Correlation = 0.0f;
};
