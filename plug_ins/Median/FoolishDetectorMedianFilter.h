#pragma once
// "Foolish Detector Median Filter": only samples of value 0 or 255 are replaced, by the median
// of the window's other samples, or by the restored value to the left when there are none.
#include <cstdint>
#include <vector>

#include "kvOperations/acSingleChannelOperation.h"

class FoolishDetectorMedianFilter : public acSingleChannelOperation {
public:
  FoolishDetectorMedianFilter();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  sRowForm RowForm() const override;
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  sParamHandle SizeParam, RecursiveParam;
  uint8_t WindowSize = 3;
  bool Recursive = false;
  std::vector<uint8_t> Window;
};
