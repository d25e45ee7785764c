#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "FilterChecks.h"
#include "ParamSupport.h"
#include "WaveletShrinkageFilter.h"
#include "kvWavelet/cWaveletBank.h"
#include "kvWavelet/cWaveletPyramid.h"
#include "kvWavelet/kvNoiseSigma.h"

namespace {

const char* const Banks[] = {"haar", "db2", "db4", "db8", "sym8"};

std::vector<double> RandomPlane(int width, int height, uint32_t seed)
{
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> value(-100.0, 300.0);
  std::vector<double> plane(size_t(width) * size_t(height));
  for (double& v : plane) v = value(rng);
  return plane;
}

// A smooth picture (a slow ramp in both directions) plus Gaussian noise of the given sigma.
std::vector<double> NoisyRamp(int width, int height, double sigma, uint32_t seed)
{
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, sigma);
  std::vector<double> plane(size_t(width) * size_t(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) plane[size_t(y * width + x)] = 40.0 + 0.3 * x + 0.2 * y + noise(rng);
  return plane;
}

}  // namespace

// A mistyped coefficient breaks orthonormality (and with it exact reconstruction) at once.
// The Symlet is published to about 13 digits, the Daubechies banks to full precision.
TEST(WaveletBanks, OrthogonalBanksAreOrthonormalToDoublePrecision)
{
  cWaveletBank bank;
  for (const char* name : Banks) {
    const cWavelet* w = bank.Find(name);
    ASSERT_NE(w, nullptr) << name;
    const std::vector<double>& h = w->DecompositionLow;
    double sum = 0;
    for (double c : h) sum += c;
    const double tolerance = std::string(name) == "sym8" ? 1e-12 : 1e-14;
    EXPECT_NEAR(sum, std::sqrt(2.0), tolerance) << name;
    for (size_t shift = 0; shift < h.size(); shift += 2) {
      double dot = 0;
      for (size_t k = 0; k + shift < h.size(); ++k) dot += h[k] * h[k + shift];
      EXPECT_NEAR(dot, shift == 0 ? 1.0 : 0.0, tolerance) << name << " shift " << shift;
    }
  }
}

TEST(WaveletPyramid, ReconstructsEveryWaveletLevelAndSize)
{
  cWaveletBank bank;
  const int sizes[][2] = {{32, 32}, {17, 9}, {10, 33}, {3, 2}, {1, 1}, {1, 40}};
  for (const char* name : Banks)
    for (int levels = 1; levels <= 6; ++levels)
      for (const auto& size : sizes) {
        const std::vector<double> plane = RandomPlane(size[0], size[1], uint32_t(levels));
        cWaveletPyramid pyramid(*bank.Find(name));
        pyramid.Decompose(plane.data(), size[0], size[1], levels);
        ASSERT_EQ(pyramid.Levels(), levels);
        std::vector<double> back(plane.size(), -1.0);
        pyramid.Reconstruct(back.data());
        double worst = 0;
        for (size_t i = 0; i < plane.size(); ++i) worst = std::max(worst, std::fabs(back[i] - plane[i]));
        EXPECT_LT(worst, 1e-9) << name << " levels " << levels << " on " << size[0] << "x" << size[1];
      }
}

TEST(WaveletPyramid, ConstantPlaneHasNoDetail)
{
  // Symmetric extension continues a constant plane without a seam, so no detail appears at the
  // borders either, whatever the extent.
  cWaveletBank bank;
  const std::vector<double> plane(size_t(13) * 7, 42.0);
  for (const char* name : Banks) {
    cWaveletPyramid pyramid(*bank.Find(name));
    pyramid.Decompose(plane.data(), 13, 7, 3);
    for (int level = 0; level < 3; ++level)
      for (auto kind : {cWaveletPyramid::dtHorizontal, cWaveletPyramid::dtVertical, cWaveletPyramid::dtDiagonal})
        for (double d : pyramid.Detail(level, kind).Data) ASSERT_NEAR(d, 0.0, 1e-8) << name << " level " << level;
  }
}

TEST(WaveletShrinkage, BayesShrinkThresholdOfKnownVariances)
{
  struct sCase {
    std::vector<double> Band;
    double Sigma, Threshold;
  };
  const std::vector<sCase> cases = {
      // Mean square 34 = 25 signal + 9 noise: sigma^2 / sigma_x = 9 / 5.
      {{std::sqrt(34.0), -std::sqrt(34.0), std::sqrt(34.0), -std::sqrt(34.0)}, 3.0, 1.8},
      // Mean square 2 (values 1 and sqrt 3) against noise 1: 1 / 1.
      {{1.0, -std::sqrt(3.0)}, 1.0, 1.0},
      // No more than noise: the band goes whole, threshold its largest magnitude.
      {{0.5, -2.0, 1.0, 0.0}, 2.0, 2.0},
      // Without noise nothing is shrunk.
      {{5.0, -7.0}, 0.0, 0.0},
  };
  for (const sCase& c : cases)
    EXPECT_NEAR(WaveletShrinkageFilter::BayesShrinkThreshold(c.Band, c.Sigma), c.Threshold, 1e-12)
        << "sigma " << c.Sigma;
}

TEST(NoiseSigma, EstimatesKnownNoiseOnASmoothPicture)
{
  for (double sigma : {1.0, 5.0, 20.0, 60.0}) {
    const std::vector<double> plane = NoisyRamp(256, 200, sigma, uint32_t(sigma));
    EXPECT_NEAR(kvNoiseSigmaOfPlane(plane.data(), 256, 200), sigma, 0.03 * sigma) << sigma;
  }
  const std::vector<double> flat(size_t(64) * 64, 7.0);
  EXPECT_LT(kvNoiseSigmaOfPlane(flat.data(), 64, 64), 1e-9);
}

TEST(NoiseSigma, AveragesTheChannelsOfAPicture)
{
  // Channels with noise 4, 8 and 12 grey levels (blue, green, red) around mid-grey.
  std::mt19937 rng(5);
  std::normal_distribution<double> noise(0.0, 1.0);
  cImage picture;
  kvtest::Fill(*picture.GetSurface(), 300, 300, 3,
               [&](int, int, int c) { return uint8_t(std::lround(128 + 4.0 * (c + 1) * noise(rng))); });
  const std::vector<double> sigmas = kvNoiseSigmas(*picture.GetSurface());
  ASSERT_EQ(sigmas.size(), 3u);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(sigmas[size_t(c)], 4.0 * (c + 1), 0.4) << c;
  EXPECT_NEAR(picture.GetNoiseSigma(), (sigmas[0] + sigmas[1] + sigmas[2]) / 3, 1e-12);
  EXPECT_NEAR(std::stod(picture.GetMeasureStr("Noise sigma")), picture.GetNoiseSigma(), 0.005);
}

TEST(WaveletShrinkage, FilterRemovesNoiseWithEveryWaveletAndRule)
{
  cImage clean, noisy;
  std::mt19937 rng(9);
  std::normal_distribution<double> noise(0.0, 15.0);
  auto value = [](int x, int y) { return x < 40 ? 60 + y : 190 - x / 4; };  // an edge and ramps
  kvtest::Fill(*clean.GetSurface(), 96, 77, 1, [&](int x, int y, int) { return uint8_t(value(x, y)); });
  kvtest::Fill(*noisy.GetSurface(), 96, 77, 1, [&](int x, int y, int) {
    return uint8_t(std::clamp<long>(std::lround(value(x, y) + noise(rng)), 0, 255));
  });
  const double before = kvtest::PSNR(*clean.GetSurface(), *noisy.GetSurface());
  WaveletShrinkageFilter filter;
  for (int wavelet = 0; wavelet < 5; ++wavelet)
    for (int rule = 0; rule < 2; ++rule)
      for (double sigma : {0.0, 15.0}) {
        kvtest::SetParam(filter, "Wavelet", wavelet);
        kvtest::SetParam(filter, "Thresholding", rule);
        kvtest::SetParam(filter, "Sigma", sigma);
        auto result = kvtest::RunOperation(filter, noisy);
        EXPECT_GT(kvtest::PSNR(*clean.GetSurface(), *result->GetSurface()), before + 3.0)
            << "wavelet " << wavelet << " rule " << rule << " sigma " << sigma;
      }
}

TEST(WaveletShrinkage, NoiselessPicturesComeBackUnchanged)
{
  // Ramps along x only have no diagonal detail: the estimate is 0 and nothing is shrunk, so
  // the colour picture also proves the YCbCr round trip exact after rounding.
  WaveletShrinkageFilter filter;
  for (int channels : {1, 3}) {
    cImage ramp;
    kvtest::Fill(*ramp.GetSurface(), 37, 20, channels, [](int x, int, int c) { return uint8_t(5 * x + 40 * c); });
    EXPECT_TRUE(kvtest::LeavesUnchanged(filter, ramp)) << channels;
  }
  // A constant picture has no detail to shrink even when a sigma is given.
  kvtest::SetParam(filter, "Sigma", 30.0);
  cImage flat;
  kvtest::Fill(*flat.GetSurface(), 20, 11, 3, [](int, int, int c) { return uint8_t(90 + 50 * c); });
  EXPECT_TRUE(kvtest::LeavesUnchanged(filter, flat));
}

TEST(WaveletShrinkage, RegionIsFilteredAloneAndTheRestKept)
{
  cImage noisy;
  kvtest::FillRandom(*noisy.GetSurface(), 40, 30, 3, 4);
  WaveletShrinkageFilter filter;
  const sRect region{10, 5, 31, 22};
  auto result = kvtest::RunOperation(filter, noisy, region);
  int changed = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      for (int c = 0; c < 3; ++c) {
        const bool inside = x >= 10 && x < 31 && y >= 5 && y < 22;
        if (!inside) {
          ASSERT_EQ(kvtest::At(*result, x, y, c), kvtest::At(noisy, x, y, c)) << x << "," << y;
        }
        changed += inside && kvtest::At(*result, x, y, c) != kvtest::At(noisy, x, y, c);
      }
  EXPECT_GT(changed, 21 * 17);
}

TEST(WaveletShrinkage, PackageBringsTheFilterWithItsParameters)
{
  EXPECT_EQ(kvtest::PackageOperationNames("080pkTransform.so"), std::vector<std::string>{"Wavelet Shrinkage Filter"});
  WaveletShrinkageFilter filter;
  EXPECT_EQ(filter.GetGroupName(), "Transform Filters");
  // An enumeration in first place writes nothing but still leads to a separator.
  EXPECT_EQ(filter.GetShortInfoString(), "(;L=3;S=0)");
}
