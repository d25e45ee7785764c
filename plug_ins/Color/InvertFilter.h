#pragma once
#include "acSingleChannelOperation.h"

// Negative: 255 - v in every channel.
class InvertFilter : public acSingleChannelOperation {
public:
  InvertFilter();
  void TransformPixel(unsigned x, unsigned y) override;
};
