#pragma once
#include "acQuarterTurn.h"

// Quarter turn counter-clockwise into an H x W result: (x, y) goes to (y, W - 1 - x).
class Rotate90CCW : public acQuarterTurn {
public:
  Rotate90CCW() : acQuarterTurn("Rotate 90 CCW", /*clockwise=*/false) {}
};
