#pragma once
#include "kvOperations/acSingleChannelOperation.h"

// Mirror top to bottom: the sample at (x, y) goes to (x, H - 1 - y).
class FlipVertical : public acSingleChannelOperation {
public:
  FlipVertical();
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  sRowForm RowForm() const override;
  // Writes the span's pixels where they go, not in place.
  void TransformSpan(int y, int firstX, int endX) override;
};
