#pragma once
#include "acGeometricTransform.h"

// Half turn: the sample at (x, y) goes to (W - 1 - x, H - 1 - y).
class Rotate180 : public acGeometricTransform {
public:
  Rotate180();
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  // Writes the span's pixels where they go, not in place.
  void TransformSpan(int y, int firstX, int endX) override;
};
