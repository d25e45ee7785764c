#pragma once
#include <cstdint>

#include "kvOperations/acSingleChannelOperation.h"

// The per-sample maximum or minimum of a rectangular window. In the maximum and minimum
// filters "Window height" is the horizontal extent and "Window width" the vertical one; the
// max-min filter has them the other way round.
class acExtremumFilter : public acSingleChannelOperation {
public:
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  acExtremumFilter(const char* name, bool maximum, bool widthAcross = false);
  sRowForm RowForm() const override;
  // Extremes over the window's rows for every column the span reaches, then over the window's
  // columns.
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

  // Which extreme the next run takes.
  bool Maximum;
  bool Recursive = false;
  sWindowExtent Extent = sWindowExtent::OfSize(3, 3);

private:
  bool WidthAcross;
  sParamHandle WidthParam, HeightParam, RecursiveParam;
};
