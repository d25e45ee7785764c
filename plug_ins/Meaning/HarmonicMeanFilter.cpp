#include "HarmonicMeanFilter.h"

#include <cmath>
#include <vector>

namespace {
// Relative: far above the rounding differences of the double and long double sums (1e-14).
constexpr double Tolerance = 1e-11;
}  // namespace

HarmonicMeanFilter::HarmonicMeanFilter() : acMeanFilter("Harmonic Mean", false)
{
  AddRecursiveParam();
}

void HarmonicMeanFilter::PreProcessing()
{
  acMeanFilter::PreProcessing();
  Reciprocal.Fill([](long double v) { return 1.0L / v; });
}

uint8_t HarmonicMeanFilter::Mean(const uint8_t* values, unsigned count) const
{
  long double reciprocals = 0;
  for (unsigned i = 0; i < count; ++i) reciprocals += Reciprocal.Exact[values[i]];
  if (reciprocals == 0) return 0;
  const long double r = std::ceil((long double)count / reciprocals);
  return r > 255 ? uint8_t(255) : uint8_t(r);
}

void HarmonicMeanFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int channels = in.Channels;
  const int samples = count * channels;
  std::vector<double> sums(static_cast<size_t>(samples));
  WindowSums(in, count, Reciprocal.Rounded.data(), sums.data());
  std::vector<uint8_t> window(WindowCount());
  const double n = double(WindowCount());
  for (int j = 0; j < samples; ++j) {
    // Only a window of zeros sums to 0.
    if (sums[size_t(j)] == 0) {
      out[j] = 0;
      continue;
    }
    const double z = n / sums[size_t(j)];
    const double tolerance = Tolerance * z;
    // Just below 255 or above, the ceiling is capped to 255 either way.
    if (z > 255 - tolerance) {
      out[j] = 255;
      continue;
    }
    const double whole = std::floor(z);
    if (z - whole < tolerance || whole + 1 - z < tolerance)
      out[j] = MeanAt(in, j / channels, j % channels, window.data());
    else
      out[j] = uint8_t(whole + 1);
  }
}
