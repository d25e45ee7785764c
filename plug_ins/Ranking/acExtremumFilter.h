#pragma once
#include <cstdint>

#include "acSingleChannelOperation.h"

// The per-sample maximum or minimum of a rectangular window. "Window height" is the
// horizontal extent and "Window width" the vertical one.
class acExtremumFilter : public acSingleChannelOperation {
public:
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

  // Off: every window sample read through the border rule (the reference of the interior path).
  bool FastPath = true;

protected:
  acExtremumFilter(const char* name, bool maximum);

private:
  bool Maximum;
  uint8_t WindowWidth = 3;
  uint8_t WindowHeight = 3;
  bool Recursive = false;
  int LoX = 1, HiX = 1, LoY = 1, HiY = 1;
};
