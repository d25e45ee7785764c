#pragma once
#include "acGeometricTransform.h"

// Mirror top to bottom: the sample at (x, y) goes to (x, H - 1 - y).
class FlipVertical : public acGeometricTransform {
public:
  FlipVertical();
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  // Writes the span's pixels where they go, not in place.
  void TransformSpan(int y, int firstX, int endX) override;
};
