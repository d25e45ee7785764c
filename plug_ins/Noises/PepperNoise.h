#pragma once
#include "acNoiseOperation.h"

// Replaces a random share of samples by 0.
class PepperNoise : public acNoiseOperation {
public:
  PepperNoise();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  void TransformSpan(int y, int firstX, int endX) override;

private:
  sParamHandle PercentParam;
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  unsigned HitCount = 0;
};
