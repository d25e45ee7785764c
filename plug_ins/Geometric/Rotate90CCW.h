#pragma once
#include "acQuarterTurn.h"

// Quarter turn counter-clockwise into an H x W result: (x, y) goes to (y, W - 1 - x).
class Rotate90CCW : public acQuarterTurn {
public:
  Rotate90CCW();
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  // A source row becomes a result column.
  void TransformSpan(int y, int firstX, int endX) override;
};
