#pragma once
#include "acNoiseOperation.h"

// Replaces a random share of samples by 255 or 0 in equal proportion; rewrites every sample.
class SaltAndPepperNoise : public acNoiseOperation {
public:
  SaltAndPepperNoise();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  void TransformSpan(int y, int firstX, int endX) override;

private:
  sParamHandle PercentParam;
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  // Hit when the draw r (0..99) is below this count.
  unsigned HitCount = 0;
};
