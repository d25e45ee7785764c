#include "cClipInverse.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
// Fine enough that interpolating between the tabulated true values costs nothing visible after
// rounding to whole grey levels.
constexpr double Step = 1.0 / 16.0;

double NormalCdf(double x)
{
  return 0.5 * std::erfc(-x / std::numbers::sqrt2);
}

double NormalDensity(double x)
{
  return std::exp(-0.5 * x * x) / std::sqrt(2.0 * std::numbers::pi);
}
}  // namespace

cClipInverse::cClipInverse(double sigma, double top) : Top(top)
{
  const int count = int(std::ceil(top / Step)) + 1;
  Means.resize(size_t(count));
  for (int i = 0; i < count; ++i) Means[size_t(i)] = float(ClippedMean(std::min(i * Step, top), sigma, top));
}

double cClipInverse::ClippedMean(double y, double sigma, double top)
{
  const double a = -y / sigma, b = (top - y) / sigma;
  return y * (NormalCdf(b) - NormalCdf(a)) + sigma * (NormalDensity(a) - NormalDensity(b)) + top * (1.0 - NormalCdf(b));
}

float cClipInverse::operator()(float mean) const
{
  // Estimates below the expectation of a black sample are black, those above a white one's white
  // (also NaN, which no comparison passes, lands on one of the two ends).
  if (!(mean > Means.front())) return 0.0f;
  if (!(mean < Means.back())) return float(Top);
  const size_t upper = size_t(std::upper_bound(Means.begin(), Means.end(), mean) - Means.begin());
  const size_t lower = upper - 1;
  const double t = (double(mean) - Means[lower]) / (double(Means[upper]) - Means[lower]);
  return float(std::min((double(lower) + t) * Step, Top));
}
