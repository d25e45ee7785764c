#pragma once
// Common ground of filters on the exact sums of a square window of "Window size" around each
// sample (the Lee and Wiener filters): the parameter, the row form and the sums.
#include <cstdint>
#include <vector>

#include "kvOperations/acSingleChannelOperation.h"

class acSquareWindowFilter : public acSingleChannelOperation {
protected:
  // Declares "Window size" (1 .. 27) with its default.
  void DeclareWindowSize(int defaultSize);
  // Reads it for a run.
  void ReadWindowSize();
  sWindowExtent Window() const { return sWindowExtent::OfSize(WindowSize, WindowSize); }
  sRowForm RowForm() const override;
  // The window sum and sum of squares of every sample of the span, as kvWindowSums.
  void WindowSums(const sWindowRows& in, int count, std::vector<int32_t>& sums, std::vector<int32_t>& squares) const;

  uint8_t WindowSize = 3;

private:
  sParamHandle WindowParam;
};
