#pragma once
#include "acMirrorTransform.h"

// Mirror top to bottom: the sample at (x, y) goes to (x, H - 1 - y).
class FlipVertical : public acMirrorTransform {
public:
  FlipVertical() : acMirrorTransform("Flip Vertical", /*leftToRight=*/false, /*topToBottom=*/true) {}
};
