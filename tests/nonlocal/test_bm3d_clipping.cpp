// BM3D on 8-bit pictures, whose noise is clipped to 0..255: the expectation of clipped noise
// and its inverse, and black and white areas that stay black and white.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "BM3DFilter.h"
#include "FilterChecks.h"
#include "ParamSupport.h"
#include "cClipInverse.h"
#include "kvOperations/cRandomGenerator.h"

using namespace kvtest;

TEST(BM3DClipping, ClippedMeanIsTheIntegralAndTheInverseGivesTheValueBack)
{
  // Plain reference: the integral of clip(y + sigma x) over the normal density, by the
  // trapezoid rule over +-12 standard deviations.
  auto integral = [](double y, double sigma) {
    const int steps = 48000;
    const double h = 24.0 / steps;
    double sum = 0;
    for (int i = 0; i <= steps; ++i) {
      const double x = -12.0 + i * h;
      const double f = std::clamp(y + sigma * x, 0.0, 255.0) * std::exp(-0.5 * x * x) / std::sqrt(2 * std::numbers::pi);
      sum += (i == 0 || i == steps ? 0.5 : 1.0) * f * h;
    }
    return sum;
  };
  for (double sigma : {3.0, 25.0, 50.0, 100.0}) {
    const cClipInverse unclip(sigma);
    for (double y : {0.0, 0.3, 4.0, 20.0, 90.0, 127.5, 200.0, 251.7, 255.0}) {
      const double mean = cClipInverse::ClippedMean(y, sigma, 255.0);
      EXPECT_NEAR(mean, integral(y, sigma), 1e-4) << "sigma " << sigma << ", y " << y;
      EXPECT_NEAR(unclip(float(mean)), y, 0.01) << "sigma " << sigma << ", y " << y;
    }
    // Beyond what black and white give, and nonsense, land on the ends.
    EXPECT_EQ(unclip(float(cClipInverse::ClippedMean(0, sigma, 255)) - 0.5f), 0.0f) << sigma;
    EXPECT_EQ(unclip(-40.0f), 0.0f) << sigma;
    EXPECT_EQ(unclip(float(cClipInverse::ClippedMean(255, sigma, 255)) + 0.5f), 255.0f) << sigma;
    EXPECT_TRUE(std::isfinite(unclip(std::numeric_limits<float>::quiet_NaN()))) << sigma;
  }
}

TEST(BM3DClipping, BlackAndWhiteStayBlackAndWhiteAndMidGreyKeepsItsLevel)
{
  MessageEnvironment env;
  BM3DFilter filter;
  SetParam(filter, "Sigma", 50.0);
  cOperationPool pool;
  pool.LoadOperationsFromPackage(KV_PLUGIN_DIR + std::string("210pkNoises.so"));
  acOperation* noise = FindOperation(pool, "Gaussian Noise");
  ASSERT_NE(noise, nullptr);
  SetParam(*noise, "Sigma", 50.0);
  // Texture: a sloping sinusoid of period 16 around level, of amplitude swing; in colour red
  // and blue swing against each other, so the chroma channels carry it too.
  auto texture = [](int x, int y, int c, double level, double swing) {
    return uint8_t(std::lround(level + (1 - c) * swing * std::sin((x + 0.5 * y) * std::numbers::pi / 8)));
  };
  struct sCase {
    const char* Name;
    int Left, Right;  // columns measured, away from the texture
    double Tolerance;
  };
  const int w = 120, h = 96;
  auto regionMean = [h](cImage& image, const sCase& c, int channel) {
    double sum = 0;
    for (int y = 0; y < h; ++y)
      for (int x = c.Left; x < c.Right; ++x) sum += At(image, x, y, channel);
    return sum / ((c.Right - c.Left) * h);
  };
  for (int channels : {1, 3}) {
    cImage edges, grey;
    Fill(*edges.GetSurface(), w, h, channels, [&](int x, int y, int c) {
      return x < 40 ? uint8_t(0) : x >= 80 ? uint8_t(255) : texture(x, y, c, 128, 60);
    });
    Fill(*grey.GetSurface(), w, h, channels, [&](int x, int y, int c) { return texture(x, y, c, 128, 20); });
    // Left as estimated, the clipped noise's expectation, black would come out about 20; away
    // from 0 and 255 the mapping must not move the level.
    const std::pair<cImage*, std::vector<sCase>> pictures[] = {
        {&edges, {{"black", 4, 32, 3.0}, {"white", 88, 116, 3.0}}}, {&grey, {{"mid-grey", 0, w, 1.0}}}};
    for (const auto& [clean, cases] : pictures) {
      cRandomGenerator::SetSeed(29);
      auto noisy = RunOperation(*noise, *clean);
      cRandomGenerator::ClearSeed();
      auto result = RunOperation(filter, *noisy);
      for (const sCase& c : cases)
        for (int k = 0; k < channels; ++k)
          EXPECT_NEAR(regionMean(*result, c, k), regionMean(*clean, c, k), c.Tolerance)
              << c.Name << ", channel " << k << " of " << channels;
      EXPECT_GT(PSNR(*result->GetSurface(), *clean->GetSurface()),
                PSNR(*noisy->GetSurface(), *clean->GetSurface()) + 8.0)
          << channels;
    }
  }
}
