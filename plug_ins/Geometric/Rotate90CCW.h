#pragma once
#include "kvOperations/acSingleChannelOperation.h"

// Quarter turn counter-clockwise into an H x W result: (x, y) goes to (y, W - 1 - x).
class Rotate90CCW : public acSingleChannelOperation {
public:
  Rotate90CCW();
  // Gives the result the turned size (source height x source width).
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  sRowForm RowForm() const override;
  // A source row becomes a result column.
  void TransformSpan(int y, int firstX, int endX) override;

private:
  int SourceWidth = 0;
  int SourceHeight = 0;
};
