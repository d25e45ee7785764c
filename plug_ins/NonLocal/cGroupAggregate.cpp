#include "cGroupAggregate.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double KaiserBeta = 2.0;

double BesselI0(double x)
{
  double sum = 1, term = 1;
  for (int k = 1; k < 50; ++k) {
    term *= (x / (2 * k)) * (x / (2 * k));
    sum += term;
  }
  return sum;
}
}  // namespace

cGroupAggregate::cGroupAggregate(const cBlockTransform& transform, int n, int width, int height, int channels)
    : Transform(transform), N(n), Width(width), Window(KaiserWindow(n))
{
  const size_t area = size_t(width) * size_t(height);
  Numerator.assign(size_t(channels), std::vector<double>(area, 0.0));
  Denominator.assign(size_t(channels), std::vector<double>(area, 0.0));
}

std::vector<float> cGroupAggregate::KaiserWindow(int n)
{
  std::vector<double> w(size_t(n), 1.0);
  for (int i = 0; i < n && n > 1; ++i) {
    const double t = 2.0 * i / (n - 1) - 1.0;
    w[size_t(i)] = BesselI0(KaiserBeta * std::sqrt(std::max(0.0, 1.0 - t * t))) / BesselI0(KaiserBeta);
  }
  std::vector<float> window(size_t(n) * size_t(n));
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) window[size_t(i) * size_t(n) + size_t(j)] = float(w[size_t(i)] * w[size_t(j)]);
  return window;
}

void cGroupAggregate::Add(int c, const float* group, const std::vector<sMatch>& matches, double weight, float* block)
{
  const int n = N, nn = n * n;
  std::vector<double>& num = Numerator[size_t(c)];
  std::vector<double>& den = Denominator[size_t(c)];
  for (size_t k = 0; k < matches.size(); ++k) {
    Transform.Inverse(group + k * size_t(nn), block, n);
    const int bx = matches[k].X, by = matches[k].Y;
    for (int i = 0; i < n; ++i) {
      const size_t at = size_t(by + i) * size_t(Width) + size_t(bx);
      for (int j = 0; j < n; ++j) {
        const double w = weight * Window[size_t(i * n + j)];
        num[at + size_t(j)] += w * block[i * n + j];
        den[at + size_t(j)] += w;
      }
    }
  }
}

void cGroupAggregate::Estimate(const std::vector<std::vector<float>>& fallback,
                               std::vector<std::vector<float>>& out) const
{
  out.assign(Numerator.size(), {});
  for (size_t c = 0; c < Numerator.size(); ++c) {
    const size_t area = Numerator[c].size();
    out[c].resize(area);
    for (size_t i = 0; i < area; ++i) {
      const double d = Denominator[c][i];
      // Every sample lies in a reference block, so d > 0; kept safe all the same.
      out[c][i] = d > 0 ? float(Numerator[c][i] / d) : fallback[c][i];
    }
  }
}
