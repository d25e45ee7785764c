#pragma once
#include "kvOperations/acSingleChannelOperation.h"

// Negative: 255 - v in every channel.
class InvertFilter : public acSingleChannelOperation {
public:
  InvertFilter();
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  sRowForm RowForm() const override;
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;
};
