#include "InvertFilter.h"
#include "kvRuntime/kvVectorClones.h"

namespace {
// Memory bound: wide loads and stores where the machine has them.
KV_VECTOR_CLONES void InvertSamples(const uint8_t* __restrict in, uint8_t* __restrict out, size_t n)
{
  for (size_t i = 0; i < n; ++i) out[i] = uint8_t(~in[i]);
}
}  // namespace

InvertFilter::InvertFilter()
{
  Describe("Invert", "Built-in", otBuiltIn, fmNoDialog);
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
  InvertSamples(in.Rows[0], out, size_t(count) * size_t(in.Channels));
}
