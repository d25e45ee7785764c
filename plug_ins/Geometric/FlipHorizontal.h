#pragma once
#include "acGeometricTransform.h"

// Mirror left to right: the sample at (x, y) goes to (W - 1 - x, y).
class FlipHorizontal : public acGeometricTransform {
public:
  FlipHorizontal();
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  // Writes the span's pixels where they go, not in place.
  void TransformSpan(int y, int firstX, int endX) override;
};
