#pragma once
#include "acGeometricTransform.h"

// A quarter turn into an H x W result, a source row becoming a result column: clockwise
// (x, y) goes to (H - 1 - y, x), counter-clockwise to (y, W - 1 - x).
class acQuarterTurn : public acGeometricTransform {
public:
  // Gives the result the turned size (source height x source width).
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  acQuarterTurn(const char* name, bool clockwise);
  void TransformSpan(int y, int firstX, int endX) override;

private:
  bool Clockwise;
  int SourceWidth = 0;
  int SourceHeight = 0;
};
