#include "WienerFilter.h"

#include <algorithm>
#include <vector>

#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("020pkLinear\\WienerFilter");

WienerFilter::WienerFilter()
{
  Describe("Wiener Filter", "Linear Filters", otFilter, fmParamDialog);
  DeclareWindowSize(3);
  NoiseParam = Params->AddReal("Noise variance", 0, 500, 10, 2);
}

void WienerFilter::PreProcessing()
{
  ReadWindowSize();
  NoiseVariance = (*Params)[NoiseParam].GetReal();
}

// Window sums are exact integers, so the mean of a flat window is exactly its value.
inline uint8_t WienerFilter::Estimate(double v, int64_t sum, int64_t squares) const
{
  const int64_t n = int64_t(WindowSize) * WindowSize;
  const double mean = double(sum) / double(n);
  const double variance = double(n * squares - sum * sum) / (double(n) * double(n));
  const double d = variance - NoiseVariance;
  double x = v;
  // A window without variance carries no signal estimate beyond its mean (this also covers a
  // zero noise variance on a flat window, where the gain would be 0 / 0).
  if (d < 0 || variance <= 0)
    x = mean;
  else if (d < variance)
    x = mean + d * (v - mean) / variance;
  // else: no noise, gain 1; kept as is, since mean + (value - mean) may round just below the
  // value and truncate one step down.
  return uint8_t(std::clamp(x, 0.0, 255.0));
}

void WienerFilter::TransformPixel(unsigned x, unsigned y)
{
  const sWindowExtent w = Window();
  int64_t sum = 0, squares = 0;
  for (int dy = -w.Up; dy <= w.Down; ++dy)
    for (int dx = -w.Left; dx <= w.Right; ++dx) {
      const int64_t v = SourceSurface->GetPixel(int(x) + dx, int(y) + dy);
      sum += v;
      squares += v * v;
    }
  ResultSurface->SetPixel(int(x), int(y), Estimate(SourceSurface->GetPixel(int(x), int(y)), sum, squares));
}

void WienerFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  std::vector<int32_t> sums;
  std::vector<int32_t> squares;
  WindowSums(in, count, sums, squares);
  const uint8_t* centre = in.Rows[Window().Up];
  const int n = count * in.Channels;
  for (int j = 0; j < n; ++j) out[j] = Estimate(centre[j], sums[size_t(j)], squares[size_t(j)]);
}
