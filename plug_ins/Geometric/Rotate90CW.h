#pragma once
#include "kvOperations/acSingleChannelOperation.h"

// Quarter turn clockwise into an H x W result: (x, y) goes to (H - 1 - y, x).
class Rotate90CW : public acSingleChannelOperation {
public:
  Rotate90CW();
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
