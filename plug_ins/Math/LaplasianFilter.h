#pragma once
#include "kvOperations/acSingleChannelOperation.h"

// "Laplasian Filter": |sum of the backward second differences in x and in y|, capped at 255.
class LaplasianFilter : public acSingleChannelOperation {
public:
  LaplasianFilter();
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  sRowForm RowForm() const override;
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;
};
