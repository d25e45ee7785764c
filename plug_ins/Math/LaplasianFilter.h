#pragma once
#include "acSingleChannelOperation.h"

// "Laplasian Filter": |sum of the backward second differences in x and in y|, capped at 255.
class LaplasianFilter : public acSingleChannelOperation {
public:
  LaplasianFilter();
  void TransformPixel(unsigned x, unsigned y) override;

  // Off: every sample read through the border rule (the reference of the interior path).
  bool FastPath = true;
};
