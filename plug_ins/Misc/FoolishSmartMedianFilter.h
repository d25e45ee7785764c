#pragma once
// "Foolish detector-Smart filter": samples of value 0 or 255 are replaced by the median of the
// window's other samples, the window growing by one while impulses make up too large a share.
#include <cstdint>
#include <vector>

#include "kvOperations/acSingleChannelOperation.h"

class FoolishSmartMedianFilter : public acSingleChannelOperation {
public:
  FoolishSmartMedianFilter();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  sRowForm RowForm() const override;
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  sParamHandle SizeParam, MaxSizeParam, ThresholdParam, RecursiveParam;
  uint8_t WindowSize = 3;
  uint8_t MaxWindowSize = 7;
  double Threshold = 0.5;
  bool Recursive = false;
  // Holds the largest window visited: max(WindowSize, MaxWindowSize) squared.
  std::vector<uint8_t> Window;
};
