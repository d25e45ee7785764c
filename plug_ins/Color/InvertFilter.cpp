#include "InvertFilter.h"

InvertFilter::InvertFilter()
{
  Name = "Invert";
  GroupName = "Built-in";
  OperationType = otBuiltIn;
}

void InvertFilter::TransformPixel(unsigned x, unsigned y)
{
  ResultSurface->SetPixel(int(x), int(y), uint8_t(255 - SourceSurface->GetPixel(int(x), int(y))));
}

acSingleChannelOperation::sRowForm InvertFilter::RowForm() const
{
  return {true, {}, true, false};
}

void InvertFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const uint8_t* from = in.Rows[0];
  const size_t n = size_t(count) * size_t(in.Channels);
  for (size_t i = 0; i < n; ++i) out[i] = uint8_t(~from[i]);
}
