#pragma once
#include <cstdint>
#include <vector>

#include "acSingleChannelOperation.h"

// "Truncated Mean" (alpha-trimmed mean): sorts the square window, drops t/2 samples at each
// end (t made even and below the window's count) and writes the integer mean of the rest.
class TruncatedMeanFilter : public acSingleChannelOperation {
public:
  TruncatedMeanFilter();
  void PreProcessing() override;
  void PostProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

  // Off: every window sample read through the border rule (the reference of the interior path).
  bool FastPath = true;

private:
  int WindowSize = 3;
  int Truncation = 4;
  bool Recursive = false;
  int Lo = 1;
  int Hi = 1;
  std::vector<uint8_t> Buffer;
};
