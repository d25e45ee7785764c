#pragma once
#include "kvOperations/acSingleChannelOperation.h"

// Colour to grey with equal weights: (B + G + R) div 3 into a one-channel result, always over
// the whole picture.
class Desaturate : public acSingleChannelOperation {
public:
  Desaturate();
  void OperationStarted() override;
  // The same preparation: the whole picture, a one-channel result.
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  sRowForm RowForm() const override;
  // The result has one channel whatever the source has, so rows are not window rows.
  void TransformSpan(int y, int firstX, int endX) override;
};
