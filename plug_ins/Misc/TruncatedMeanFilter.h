#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "kvOperations/acSingleChannelOperation.h"

// "Truncated Mean" (alpha-trimmed mean): sorts the square window, drops t/2 samples at each
// end (t made even and below the window's count) and writes the integer mean of the rest.
class TruncatedMeanFilter : public acSingleChannelOperation {
public:
  TruncatedMeanFilter();
  void PreProcessing() override;
  void PostProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  sRowForm RowForm() const override;
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  // The mean of the kept middle of n window samples at v (reordered).
  uint8_t KeptMean(uint8_t* v, int n) const;
  // Small windows: many samples at once through a sorting network.
  void RowByNetwork(const sWindowRows& in, uint8_t* out, int count) const;

  sParamHandle SizeParam;
  sParamHandle TruncationParam;
  sParamHandle RecursiveParam;
  int WindowSize = 3;
  int Truncation = 4;
  bool Recursive = false;
  sWindowExtent Extent;
  std::vector<uint8_t> Buffer;  // the reference path's window
  // Comparators of a network that sorts the window's count of samples.
  std::vector<std::pair<uint16_t, uint16_t>> Network;
  // sum / (count - Truncation) = (sum * Multiplier) >> 32 for every possible kept sum.
  uint64_t Multiplier = 0;
};
