#pragma once
#include "acGeometricTransform.h"

// Mirroring left to right, top to bottom, or both (the half turn): the sample at (x, y) goes to
// (W - 1 - x, y), (x, H - 1 - y) or (W - 1 - x, H - 1 - y).
class acMirrorTransform : public acGeometricTransform {
public:
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  acMirrorTransform(const char* name, bool leftToRight, bool topToBottom);
  // Writes the span's pixels where they go, not in place: a row reversed by ReversePixels or
  // copied whole.
  void TransformSpan(int y, int firstX, int endX) override;

private:
  bool LeftToRight;
  bool TopToBottom;
};
