#pragma once
#include "acQuarterTurn.h"

// Quarter turn clockwise into an H x W result: (x, y) goes to (H - 1 - y, x).
class Rotate90CW : public acQuarterTurn {
public:
  Rotate90CW();
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  // A source row becomes a result column.
  void TransformSpan(int y, int firstX, int endX) override;
};
