#pragma once
// "Adaptive Median Filter": the window grows (3 x 3, 5 x 5, ...) until its median lies
// strictly between the window's extremes; the sample is kept when it is not an extreme itself.
#include <cstdint>
#include <vector>

#include "kvOperations/acSingleChannelOperation.h"

class AdaptiveMedianFilter : public acSingleChannelOperation {
public:
  AdaptiveMedianFilter();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

  // The filter's own middle selection on an odd number of values: rearranges values and
  // returns values[count / 2]; close to, but not always, the exact median.
  static uint8_t SelectMiddle(uint8_t* values, unsigned count);

protected:
  sRowForm RowForm() const override;
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  // The windows from 3 x 3 up for sample ch of pixel i of the window rows; writes out when one
  // of them settles it. window holds the largest window.
  void ByGrowingWindows(const sWindowRows& in, const uint8_t* source, int i, int ch, uint8_t* out,
                        uint8_t* window) const;

  sParamHandle MaxSizeParam, RecursiveParam;
  uint8_t MaxWindowSize = 3;
  bool Recursive = false;
  std::vector<uint8_t> Window;  // the reference path's window
};
