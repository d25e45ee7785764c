#pragma once
#include "acQuarterTurn.h"

// Quarter turn clockwise into an H x W result: (x, y) goes to (H - 1 - y, x).
class Rotate90CW : public acQuarterTurn {
public:
  Rotate90CW() : acQuarterTurn("Rotate 90 CW", /*clockwise=*/true) {}
};
