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
  cOperationPool pool;
  pool.LoadOperationsFromPackage(KV_PLUGIN_DIR + std::string("210pkNoises.so"));
  acOperation* noise = FindOperation(pool, "Gaussian Noise");
  ASSERT_NE(noise, nullptr);
  Set(*noise, "Sigma", 50.0);
  BM3DFilter filter;
  Set(filter, "Sigma", 50.0);
  // Texture: a sloping sinusoid of period 16 around level, of amplitude swing.
  auto texture = [](int x, int y, double level, double swing) {
    return uint8_t(std::lround(level + swing * std::sin((x + 0.5 * y) * std::numbers::pi / 8)));
  };
  struct sCase {
    const char* Name;
    int Left, Right;  // columns measured, away from the texture
    double Truth;     // the clean picture's mean there
    double Tolerance;
  };
  const int w = 120, h = 96;
  cImage clean;
  Fill(*clean.GetSurface(), w, h, 1, [&](int x, int y, int) {
    return x < 40 ? uint8_t(0) : x >= 80 ? uint8_t(255) : texture(x, y, 128, 60);
  });
  cImage grey;
  Fill(*grey.GetSurface(), w, h, 1, [&](int x, int y, int) { return texture(x, y, 128, 20); });
  double greyMean = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) greyMean += At(grey, x, y);
  greyMean /= w * h;
  struct sPicture {
    cImage* Clean;
    std::vector<sCase> Cases;
  };
  for (const sPicture& p : {sPicture{&clean, {{"black", 4, 32, 0.0, 3.0}, {"white", 88, 116, 255.0, 3.0}}},
                            sPicture{&grey, {{"mid-grey", 0, w, greyMean, 0.5}}}}) {
    cRandomGenerator::SetSeed(29);
    auto noisy = RunOperation(*noise, *p.Clean);
    cRandomGenerator::ClearSeed();
    auto result = RunOperation(filter, *noisy);
    for (const sCase& c : p.Cases) {
      double sum = 0;
      for (int y = 0; y < h; ++y)
        for (int x = c.Left; x < c.Right; ++x) sum += At(*result, x, y);
      // Left as estimated, the clipped noise's expectation, black would come out about 20; away
      // from 0 and 255 the mapping must not move the level.
      EXPECT_NEAR(sum / ((c.Right - c.Left) * h), c.Truth, c.Tolerance) << c.Name;
    }
    EXPECT_GT(PSNR(*result->GetSurface(), *p.Clean->GetSurface()),
              PSNR(*noisy->GetSurface(), *p.Clean->GetSurface()) + 8.0);
  }
}
