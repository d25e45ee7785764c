#include "WaveletShrinkageFilter.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "kvRuntime/kvDiagnostics.h"
#include "kvWavelet/cWaveletBank.h"
#include "kvWavelet/cWaveletPyramid.h"
#include "kvWavelet/kvNoiseSigma.h"

KV_UNIT("080pkTransform\\WaveletShrinkageFilter");

namespace {

// ITU-R BT.601 YCbCr of samples 0..255, as scikit-image's rgb2ycbcr (scaled to grey levels);
// rows Y, Cb, Cr, columns R, G, B. The offsets do not matter: they only move the coarsest
// approximation, which is never shrunk.
constexpr double ToYCbCr[3][3] = {{65.481 / 255, 128.553 / 255, 24.966 / 255},
                                  {-37.797 / 255, -74.203 / 255, 112.0 / 255},
                                  {112.0 / 255, -93.786 / 255, -18.214 / 255}};

// The inverse of ToYCbCr.
std::array<std::array<double, 3>, 3> Inverse(const double m[3][3])
{
  std::array<std::array<double, 3>, 3> r{};
  const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
                     m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                     m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      const int a = (j + 1) % 3, b = (j + 2) % 3, c = (i + 1) % 3, d = (i + 2) % 3;
      r[size_t(i)][size_t(j)] = (m[a][c] * m[b][d] - m[a][d] * m[b][c]) / det;
    }
  return r;
}

uint8_t ToSample(double v)
{
  return uint8_t(std::lround(std::clamp(v, 0.0, 255.0)));
}

}  // namespace

const char* const WaveletShrinkageFilter::BankNames[] = {"haar", "db2", "db4", "db8", "sym8"};

WaveletShrinkageFilter::WaveletShrinkageFilter()
{
  Describe("Wavelet Shrinkage Filter", "Transform Filters", otFilter, fmParamDialog);
  WaveletParam =
      Params->AddEnumerated("Wavelet", {"Haar", "Daubechies 2", "Daubechies 4", "Daubechies 8", "Symlet 8"}, 0);
  LevelsParam = Params->AddInteger("Levels", 1, 6, 3);
  SigmaParam = Params->AddReal("Sigma", 0, 100, 0, 2);
  ThresholdingParam = Params->AddEnumerated("Thresholding", {"Soft", "Hard"}, 0);
}

double WaveletShrinkageFilter::BayesShrinkThreshold(const std::vector<double>& band, double sigma)
{
  if (sigma <= 0 || band.empty()) return 0.0;
  double squares = 0.0, largest = 0.0;
  for (double d : band) {
    squares += d * d;
    largest = std::max(largest, std::fabs(d));
  }
  const double signalVariance = squares / double(band.size()) - sigma * sigma;
  if (signalVariance <= 0) return largest;
  return sigma * sigma / std::sqrt(signalVariance);
}

void WaveletShrinkageFilter::ShrinkPlane(double* plane, int width, int height, const char* bankName, int levels,
                                         double sigma, bool soft)
{
  if (sigma < 0 || width < 1 || height < 1) return;
  static const cWaveletBank bank;
  const cWavelet* wavelet = bank.Find(bankName);
  KV_ASSERT(wavelet != nullptr, "wavelet != NULL");
  cWaveletPyramid pyramid(*wavelet);
  pyramid.Decompose(plane, width, height, levels);
  if (sigma == 0) sigma = kvNoiseSigmaOfDiagonal(pyramid.Detail(0, cWaveletPyramid::dtDiagonal).Data);
  if (sigma <= 0) return;  // no noise: the plane stays as it came
  for (int level = 0; level < pyramid.Levels(); ++level)
    for (auto kind : {cWaveletPyramid::dtHorizontal, cWaveletPyramid::dtVertical, cWaveletPyramid::dtDiagonal}) {
      std::vector<double>& band = pyramid.Detail(level, kind).Data;
      const double threshold = BayesShrinkThreshold(band, sigma);
      for (double& d : band) {
        const double magnitude = std::fabs(d);
        if (magnitude <= threshold)
          d = 0.0;
        else if (soft)
          d = std::copysign(magnitude - threshold, d);
      }
    }
  pyramid.Reconstruct(plane);
}

void WaveletShrinkageFilter::OperationItself(const tTerminateFlag& terminated)
{
  const int choice = std::clamp((*Params)[WaveletParam].GetEnumSelectedIndex(), 0, 4);
  const int levels = (*Params)[LevelsParam].GetInteger();
  const double sigma = (*Params)[SigmaParam].GetReal();
  const bool soft = (*Params)[ThresholdingParam].GetEnumSelectedIndex() == 0;

  // The region is filtered as a picture of its own (a preview shows what the whole run does to
  // a picture of that content); the rest keeps the copied source.
  const int width = SourceSurface->GetWidth(), height = SourceSurface->GetHeight();
  const int x0 = int(std::min<unsigned>(FirstColumn, unsigned(width)));
  const int x1 = int(std::min<unsigned>(EndColumn, unsigned(width)));
  const int y0 = int(std::min<unsigned>(FirstRow, unsigned(height)));
  const int y1 = int(std::min<unsigned>(EndRow, unsigned(height)));
  if (x1 <= x0 || y1 <= y0) return;
  const int w = x1 - x0, h = y1 - y0, channels = SourceSurface->GetChannelsCount();
  const size_t n = size_t(w) * size_t(h);
  const bool colour = channels == 3;

  // The region's channels as planes: B, G, R samples, or Y, Cb, Cr for colour.
  std::vector<std::vector<double>> planes(size_t(channels), std::vector<double>(n, 0.0));
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = SourceSurface->Row(y0 + y) + size_t(x0) * size_t(channels);
    for (int x = 0; x < w; ++x) {
      const size_t at = size_t(y) * size_t(w) + size_t(x);
      const uint8_t* p = row + size_t(x) * size_t(channels);
      if (colour)
        for (int k = 0; k < 3; ++k)
          planes[size_t(k)][at] = ToYCbCr[k][0] * p[2] + ToYCbCr[k][1] * p[1] + ToYCbCr[k][2] * p[0];
      else
        planes[0][at] = p[0];
    }
  }

  for (int k = 0; k < channels; ++k) {
    if (terminated) return;
    // A given sigma is that of independent noise in every colour channel; its share in a
    // YCbCr channel is sigma times the length of that channel's row of the transform.
    double channelSigma = sigma;
    if (sigma > 0 && colour) channelSigma = sigma * std::hypot(ToYCbCr[k][0], ToYCbCr[k][1], ToYCbCr[k][2]);
    ShrinkPlane(planes[size_t(k)].data(), w, h, BankNames[choice], levels, channelSigma, soft);
    OperationProgress(unsigned((k + 1) * 90 / channels));
  }

  const auto fromYCbCr = Inverse(ToYCbCr);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = ResultSurface->Row(y0 + y) + size_t(x0) * size_t(channels);
    for (int x = 0; x < w; ++x) {
      const size_t at = size_t(y) * size_t(w) + size_t(x);
      uint8_t* p = row + size_t(x) * size_t(channels);
      if (colour) {
        double rgb[3];
        for (int i = 0; i < 3; ++i)
          rgb[i] = fromYCbCr[size_t(i)][0] * planes[0][at] + fromYCbCr[size_t(i)][1] * planes[1][at] +
                   fromYCbCr[size_t(i)][2] * planes[2][at];
        p[0] = ToSample(rgb[2]);
        p[1] = ToSample(rgb[1]);
        p[2] = ToSample(rgb[0]);
      } else
        p[0] = ToSample(planes[0][at]);
    }
  }
  OperationProgress(WorkProgress);
}
