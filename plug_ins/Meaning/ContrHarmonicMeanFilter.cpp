#include "ContrHarmonicMeanFilter.h"

#include <cmath>
#include <vector>

namespace {
// The allowance that keeps rounding of exp(ln v) from turning an exact mean v into v - 1.
constexpr long double Allowance = 1e-9L;
// Far above the rounding differences of the double and long double quotients (a few 1e-12 at
// 255), far below the allowance.
constexpr double Tolerance = 1e-10;
}  // namespace

ContrHarmonicMeanFilter::ContrHarmonicMeanFilter() : acMeanFilter("Contraharmonic Mean", true)
{
  OrderParam = Params->AddReal("Order", -1, 1, 0, 2);
  AddRecursiveParam();
}

void ContrHarmonicMeanFilter::PreProcessing()
{
  acMeanFilter::PreProcessing();
  Order = float((*Params)[OrderParam].GetReal());
  const long double q = Order;
  // Zero samples are ignored entirely: both their terms are 0.
  PowerA.Fill([q](long double v) { return std::exp((q + 1) * std::log(v)); });
  PowerB.Fill([q](long double v) { return std::exp(q * std::log(v)); });
}

uint8_t ContrHarmonicMeanFilter::Mean(const uint8_t* values, unsigned count) const
{
  long double numerator = 0;
  long double denominator = 0;
  for (unsigned i = 0; i < count; ++i) {
    numerator += PowerA.Exact[values[i]];
    denominator += PowerB.Exact[values[i]];
  }
  if (denominator == 0) return 0;
  const long double r = numerator / denominator;
  if (r > 255) return 255;
  return uint8_t(r + Allowance);
}

void ContrHarmonicMeanFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int channels = in.Channels;
  const int samples = count * channels;
  std::vector<double> a(static_cast<size_t>(samples));
  std::vector<double> b(static_cast<size_t>(samples));
  WindowSums(in, count, PowerA.Rounded.data(), a.data());
  WindowSums(in, count, PowerB.Rounded.data(), b.data());
  std::vector<uint8_t> window(WindowCount());
  for (int j = 0; j < samples; ++j) {
    // Only a window of zeros sums to 0.
    if (b[size_t(j)] == 0) {
      out[j] = 0;
      continue;
    }
    const double r = a[size_t(j)] / b[size_t(j)];
    // Above 255 it is capped; just below, the allowance lifts it to 255.
    if (r > 255 - Tolerance) {
      out[j] = 255;
      continue;
    }
    const double t = r + double(Allowance);
    const double whole = std::floor(t);
    if (t - whole < Tolerance || whole + 1 - t < Tolerance)
      out[j] = MeanAt(in, j / channels, j % channels, window.data());
    else
      out[j] = uint8_t(whole);
  }
}
