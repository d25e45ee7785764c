#pragma once
#include "acMirrorTransform.h"

// Half turn: the sample at (x, y) goes to (W - 1 - x, H - 1 - y).
class Rotate180 : public acMirrorTransform {
public:
  Rotate180() : acMirrorTransform("Rotate 180", /*leftToRight=*/true, /*topToBottom=*/true) {}
};
