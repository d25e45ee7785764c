#pragma once
#include "acMirrorTransform.h"

// Mirror left to right: the sample at (x, y) goes to (W - 1 - x, y).
class FlipHorizontal : public acMirrorTransform {
public:
  FlipHorizontal() : acMirrorTransform("Flip Horizontal", /*leftToRight=*/true, /*topToBottom=*/false) {}
};
