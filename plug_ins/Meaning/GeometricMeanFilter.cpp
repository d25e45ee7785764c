#include "GeometricMeanFilter.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
// Far above every rounding between the double sum here and the long double one of Mean (a few
// 1e-14 in the mean logarithm), far below the gap between neighbouring thresholds.
constexpr double Tolerance = 1e-12;
}  // namespace

GeometricMeanFilter::GeometricMeanFilter() : acMeanFilter("Geometric Mean", false)
{
  AddRecursiveParam();
}

void GeometricMeanFilter::PreProcessing()
{
  acMeanFilter::PreProcessing();
  Logarithm.Fill([](long double v) { return std::log(v); });
  LogOf = Logarithm.Rounded;
  BucketScale = Buckets / (LogOf[255] + 0.01);
  int k = 1;
  for (int b = 0; b < Buckets; ++b) {
    while (k < 255 && LogOf[size_t(k)] < b / BucketScale) ++k;
    FirstCandidate[size_t(b)] = uint8_t(k);
  }
}

uint8_t GeometricMeanFilter::Mean(const uint8_t* values, unsigned count) const
{
  long double logarithms = 0;
  for (unsigned i = 0; i < count; ++i) logarithms += Logarithm.Exact[values[i]];
  const long double r = std::ceil(std::exp(logarithms / (long double)count));
  // A window of 255s may come out a hair above 255; the ceiling must not wrap to 0.
  return r > 255 ? uint8_t(255) : uint8_t(r);
}

void GeometricMeanFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int channels = in.Channels;
  const int samples = count * channels;
  std::vector<double> sums(static_cast<size_t>(samples));
  WindowSums(in, count, Logarithm.Rounded.data(), sums.data());
  std::vector<uint8_t> window(WindowCount());
  const double inverse = 1.0 / double(WindowCount());
  for (int j = 0; j < samples; ++j) {
    // Only windows of zeros and ones sum to exactly 0, and their mean is exactly 1.
    if (sums[size_t(j)] == 0) {
      out[j] = 1;
      continue;
    }
    const double m = sums[size_t(j)] * inverse;
    const int bucket = std::min(Buckets - 1, int(m * BucketScale));
    int k = FirstCandidate[size_t(bucket)];
    while (k < 255 && m > LogOf[size_t(k)]) ++k;
    // k is the smallest with m <= log k (or 255, which a larger mean is capped to).
    const bool nearUpper = k < 255 && LogOf[size_t(k)] - m < Tolerance;
    const bool nearLower = k > 1 && m - LogOf[size_t(k - 1)] < Tolerance;
    out[j] = (nearUpper || nearLower) ? MeanAt(in, j / channels, j % channels, window.data()) : uint8_t(k);
  }
}
