#pragma once
#include "acNoiseOperation.h"

// Replaces a random share of samples by uniform values 0..255; draws the value for every
// sample, hit or not. Continues the shared random sequence (no reseed).
class RandomValuedNoise : public acNoiseOperation {
public:
  RandomValuedNoise();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  void TransformSpan(int y, int firstX, int endX) override;

private:
  sParamHandle ProbabilityParam;
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  unsigned HitCount = 0;
};
