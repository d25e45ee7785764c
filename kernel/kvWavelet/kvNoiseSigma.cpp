#include "kvWavelet/kvNoiseSigma.h"

#include <algorithm>
#include <cmath>

#include "kvPixels/cBMPSurface.h"
#include "kvWavelet/cWaveletBank.h"
#include "kvWavelet/cWaveletPyramid.h"

namespace {

// The 0.75 quantile of the standard normal distribution: the median of |N(0, 1)|.
constexpr double NormalQuartile = 0.6744897501960817;

}  // namespace

double kvNoiseSigmaOfPlane(const double* plane, int width, int height)
{
  if (width < 1 || height < 1) return 0.0;
  static const cWaveletBank bank;
  cWaveletPyramid pyramid(*bank.Find("db2"));
  pyramid.Decompose(plane, width, height, 1);
  return kvNoiseSigmaOfDiagonal(pyramid.Detail(0, cWaveletPyramid::dtDiagonal).Data);
}

double kvNoiseSigmaOfDiagonal(const std::vector<double>& diagonal)
{
  // Exact zeros come from flat (often clipped) regions that carry no noise to measure. Only
  // exact ones, as the peer does: the near-zeros rounding leaves in such regions are counted.
  std::vector<double> magnitudes;
  magnitudes.reserve(diagonal.size());
  for (double d : diagonal)
    if (d != 0.0) magnitudes.push_back(std::fabs(d));
  if (magnitudes.empty()) return 0.0;
  const size_t n = magnitudes.size(), half = n / 2;
  std::nth_element(magnitudes.begin(), magnitudes.begin() + std::ptrdiff_t(half), magnitudes.end());
  double median = magnitudes[half];
  if (n % 2 == 0)
    median = (median + *std::max_element(magnitudes.begin(), magnitudes.begin() + std::ptrdiff_t(half))) / 2;
  return median / NormalQuartile;
}

double kvNoiseSigmaOfChannel(const cBMPSurface& surface, int channel)
{
  const int width = surface.GetWidth(), height = surface.GetHeight(), channels = surface.GetChannelsCount();
  if (width < 1 || height < 1 || channel < 0 || channel >= channels) return 0.0;
  std::vector<double> plane(size_t(width) * size_t(height));
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = surface.Row(y);
    for (int x = 0; x < width; ++x) plane[size_t(y) * size_t(width) + size_t(x)] = row[size_t(x * channels + channel)];
  }
  return kvNoiseSigmaOfPlane(plane.data(), width, height);
}

std::vector<double> kvNoiseSigmas(const cBMPSurface& surface)
{
  std::vector<double> sigmas;
  for (int c = 0; c < surface.GetChannelsCount(); ++c) sigmas.push_back(kvNoiseSigmaOfChannel(surface, c));
  return sigmas;
}

double kvNoiseSigma(const cBMPSurface& surface)
{
  const std::vector<double> sigmas = kvNoiseSigmas(surface);
  if (sigmas.empty() || surface.GetWidth() < 1 || surface.GetHeight() < 1) return 0.0;
  double sum = 0.0;
  for (double s : sigmas) sum += s;
  return sum / double(sigmas.size());
}
