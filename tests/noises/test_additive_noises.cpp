#include <gtest/gtest.h>

#include <cmath>

#include "ExponentialNoise.h"
#include "GaussianNoise.h"
#include "NoiseTestSupport.h"
#include "RayleighNoise.h"
#include "SimpleSpeckleNoise.h"

using namespace noisetest;

namespace {

class AdditiveNoise : public ::testing::Test {
protected:
  void TearDown() override { cRandomGenerator::ClearSeed(); }
};

struct sMoments {
  double Mean = 0;
  double Variance = 0;
  int Decreased = 0;
};

// Mean and variance of (result - source) over every sample.
sMoments Difference(cBMPSurface& source, cBMPSurface& result)
{
  sMoments m;
  double sum = 0, sum2 = 0;
  long n = 0;
  for (int c = 0; c < source.GetChannelsCount(); ++c)
    for (int y = 0; y < source.GetHeight(); ++y)
      for (int x = 0; x < source.GetWidth(); ++x) {
        const double d = double(kvtest::Pixel(result, x, y, c)) - kvtest::Pixel(source, x, y, c);
        sum += d;
        sum2 += d * d;
        m.Decreased += d < 0;
        ++n;
      }
  m.Mean = sum / n;
  m.Variance = sum2 / n - m.Mean * m.Mean;
  return m;
}

// Exact mean and variance of the increase of a sample g over the 10000 equally likely draws.
sMoments ExactIncrease(uint8_t g, const std::function<double(double u)>& z)
{
  sMoments m;
  double sum = 0, sum2 = 0;
  for (int r = 0; r < 10000; ++r) {
    const double d = double(Clamp(std::trunc(g + z(r * 0.0001)))) - g;
    sum += d;
    sum2 += d * d;
  }
  m.Mean = sum / 10000;
  m.Variance = sum2 / 10000 - m.Mean * m.Mean;
  return m;
}

}  // namespace

TEST_F(AdditiveNoise, GaussianAddsRoundedDeviatesAfterReseeding)
{
  GaussianNoise op;
  kvtest::SetParam(op, "Mean", 3.7);
  kvtest::SetParam(op, "Sigma", 40);
  for (int channels : {1, 3}) {
    cImage source;
    kvtest::FillRandom(*source.GetSurface(), 37, 23, channels, 5);
    auto run = RunAndReplay(op, source, WholeOf(source), true, GaussianModel(3.7f, 40.0f));
    EXPECT_TRUE(kvtest::SamePixels(*run->Result->GetSurface(), run->Expected)) << channels;
  }
}

TEST_F(AdditiveNoise, GaussianMeanAndSpreadFollowTheParameters)
{
  // 10^6 samples of 128 + round(N(10, 20)): the rounding adds no bias and 1/12 to the
  // variance; clamping is 5.9 sd away. Standard errors: mean 0.02, variance 400 sqrt(2/N) = 0.57.
  GaussianNoise op;
  kvtest::SetParam(op, "Mean", 10);
  kvtest::SetParam(op, "Sigma", 20);
  cImage source;
  Flat(source, 1000, 1000, 1, 128);
  auto result = kvtest::RunOperation(op, source);
  const sMoments m = Difference(*source.GetSurface(), *result->GetSurface());
  EXPECT_NEAR(m.Mean, 10.0, 6 * 0.02);
  EXPECT_NEAR(m.Variance, 400 + 1.0 / 12, 6 * 0.57);
}

TEST_F(AdditiveNoise, GaussianClampsAndKeepsOnlyDeviatesWithinHalf)
{
  GaussianNoise op;
  cImage source;
  Flat(source, 300, 300, 1, 100);
  kvtest::SetParam(op, "Mean", 255);
  kvtest::SetParam(op, "Sigma", 1);
  auto high = kvtest::RunOperation(op, source);
  EXPECT_EQ(Histogram(*high->GetSurface())[255], 300 * 300);
  kvtest::SetParam(op, "Mean", -255);
  auto low = kvtest::RunOperation(op, source);
  EXPECT_EQ(Histogram(*low->GetSurface())[0], 300 * 300);
  // Mean 0, sigma 1: unchanged exactly when -0.5 <= deviate < 0.5, probability 0.38292
  // (sd of the share over 9 * 10^4 samples 0.0016).
  kvtest::SetParam(op, "Mean", 0);
  auto unit = kvtest::RunOperation(op, source);
  EXPECT_NEAR(Histogram(*unit->GetSurface())[100] / 90000.0, 0.38292, 6 * 0.0016);
}

TEST_F(AdditiveNoise, GaussianReseedsSoRunsDifferUnlessTheSeedIsFixed)
{
  GaussianNoise op;
  cImage source;
  Flat(source, 64, 64, 3, 128);
  auto first = kvtest::RunOperation(op, source);
  auto second = kvtest::RunOperation(op, source);
  EXPECT_FALSE(kvtest::SamePixels(*first->GetSurface(), *second->GetSurface()));
  cRandomGenerator::SetSeed(77);
  auto seeded = kvtest::RunOperation(op, source);
  auto next = kvtest::RunOperation(op, source);
  cRandomGenerator::SetSeed(77);
  auto again = kvtest::RunOperation(op, source);
  auto nextAgain = kvtest::RunOperation(op, source);
  EXPECT_TRUE(kvtest::SamePixels(*seeded->GetSurface(), *again->GetSurface()));
  EXPECT_TRUE(kvtest::SamePixels(*next->GetSurface(), *nextAgain->GetSurface()));
  EXPECT_FALSE(kvtest::SamePixels(*seeded->GetSurface(), *next->GetSurface()));
  cRandomGenerator::SetSeed(78);
  auto otherSeed = kvtest::RunOperation(op, source);
  EXPECT_FALSE(kvtest::SamePixels(*seeded->GetSurface(), *otherSeed->GetSurface()));
}

TEST_F(AdditiveNoise, ExponentialContinuesTheSequenceWithOneDrawPerSample)
{
  ExponentialNoise op;
  kvtest::SetParam(op, "A", 0.125);
  for (int channels : {1, 3}) {
    cImage source;
    kvtest::FillRandom(*source.GetSurface(), 41, 19, channels, 6);
    auto run = RunAndReplay(op, source, WholeOf(source), false, ExponentialModel(0.125));
    EXPECT_TRUE(kvtest::SamePixels(*run->Result->GetSurface(), run->Expected)) << channels;
    // Both left the generator in the same place.
    const unsigned afterRun = Random(1u << 30);
    cRandomGenerator::SetSeed(1234);
    kvtest::RunOperation(op, source);
    EXPECT_EQ(Random(1u << 30), afterRun);
  }
}

TEST_F(AdditiveNoise, ExponentialNeverLowersAndMatchesItsDistribution)
{
  cImage source;
  Flat(source, 1000, 1000, 1, 100);
  ExponentialNoise op;
  double previousMean = 0;
  for (double a : {0.7, 0.25, 0.05}) {
    kvtest::SetParam(op, "A", a);
    auto result = kvtest::RunOperation(op, source);
    const sMoments m = Difference(*source.GetSurface(), *result->GetSurface());
    const sMoments exact = ExactIncrease(100, [a](double u) { return -std::log(1 - u) / a; });
    EXPECT_EQ(m.Decreased, 0) << a;
    EXPECT_NEAR(m.Mean, exact.Mean, 6 * std::sqrt(exact.Variance / 1e6)) << a;
    EXPECT_GT(m.Mean, previousMean) << a;  // a smaller A raises more
    previousMean = m.Mean;
  }
}

TEST_F(AdditiveNoise, ExponentialWithZeroAKeepsThePictureAndCompletes)
{
  ExponentialNoise op;
  kvtest::SetParam(op, "A", 0);
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 50, 40, 3, 8);
  auto run = RunAndReplay(op, source, WholeOf(source), false, ExponentialModel(0));
  EXPECT_TRUE(kvtest::SamePixels(*run->Result->GetSurface(), *source.GetSurface()));
  EXPECT_EQ(run->Result->PercentDone.load(), 100);
  // The draws were still made, so later users see the same sequence as after any other A.
  const unsigned afterRun = Random(1u << 30);
  cRandomGenerator::SetSeed(1234);
  for (int i = 0; i < 50 * 40 * 3; ++i) Random(10000);
  EXPECT_EQ(Random(1u << 30), afterRun);
}

TEST_F(AdditiveNoise, RayleighFollowsItsFormulaAndNeverLowers)
{
  RayleighNoise op;
  kvtest::SetParam(op, "A", 3.5);
  kvtest::SetParam(op, "B", 80);
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 33, 27, 3, 9);
  auto run = RunAndReplay(op, source, WholeOf(source), false, RayleighModel(3.5, 80));
  EXPECT_TRUE(kvtest::SamePixels(*run->Result->GetSurface(), run->Expected));
  EXPECT_EQ(Difference(*source.GetSurface(), *run->Result->GetSurface()).Decreased, 0);

  cImage flat;
  Flat(flat, 1000, 1000, 1, 60);
  double previousMean = 0;
  for (double b : {5.0, 50.0, 100.0}) {
    kvtest::SetParam(op, "A", 10);
    kvtest::SetParam(op, "B", b);
    auto result = kvtest::RunOperation(op, flat);
    const sMoments m = Difference(*flat.GetSurface(), *result->GetSurface());
    const sMoments exact = ExactIncrease(60, [b](double u) { return 10 + std::sqrt(-b * std::log(1 - u)); });
    EXPECT_EQ(m.Decreased, 0) << b;
    EXPECT_NEAR(m.Mean, exact.Mean, 6 * std::sqrt(exact.Variance / 1e6)) << b;
    EXPECT_GT(m.Mean, previousMean) << b;
    previousMean = m.Mean;
  }
}

TEST_F(AdditiveNoise, RayleighWithZeroBRaisesByExactlyA)
{
  RayleighNoise op;
  kvtest::SetParam(op, "A", 10.5);
  kvtest::SetParam(op, "B", 0);
  cImage source;
  kvtest::Fill(*source.GetSurface(), 256, 2, 1, [](int x, int, int) { return uint8_t(x); });
  auto result = kvtest::RunOperation(op, source);
  for (int x = 0; x < 256; ++x)
    for (int y = 0; y < 2; ++y) ASSERT_EQ(kvtest::Pixel(*result->GetSurface(), x, y), std::min(x + 10, 255)) << x;
}

TEST_F(AdditiveNoise, SpeckleScalesRoundedDeviatesBySquareRoot)
{
  SimpleSpeckleNoise op;
  kvtest::SetParam(op, "Standart Deviation", 2.5);
  kvtest::SetParam(op, "Degree of correlation", 0.5);
  cImage source;
  Flat(source, 200, 100, 3, 100);
  auto run = RunAndReplay(op, source, WholeOf(source), true, SpeckleModel(2.5f, 0.5f));
  EXPECT_TRUE(kvtest::SamePixels(*run->Result->GetSurface(), run->Expected));
  // 100 + 0.5 * 10 * n: n = 2 gives 110; every value is 100 + 5n.
  const auto h = Histogram(*run->Result->GetSurface(), 1);
  EXPECT_GT(h[110], 1000);
  for (int v = 0; v < 256; ++v)
    if (h[v]) {
      EXPECT_EQ((v - 100) % 5, 0) << v;
    }

  cImage random;
  kvtest::FillRandom(*random.GetSurface(), 45, 31, 1, 10);
  kvtest::SetParam(op, "Standart Deviation", 30);
  kvtest::SetParam(op, "Degree of correlation", 0.75);
  auto wide = RunAndReplay(op, random, WholeOf(random), true, SpeckleModel(30.0f, 0.75f));
  EXPECT_TRUE(kvtest::SamePixels(*wide->Result->GetSurface(), wide->Expected));
}

TEST_F(AdditiveNoise, SpeckleLeavesBlackAndZeroSettingsUnchanged)
{
  SimpleSpeckleNoise op;
  cImage black;
  Flat(black, 100, 100, 3, 0);
  kvtest::SetParam(op, "Standart Deviation", 100);
  kvtest::SetParam(op, "Degree of correlation", 1);
  EXPECT_TRUE(kvtest::LeavesUnchanged(op, black));
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 64, 48, 3, 11);
  kvtest::SetParam(op, "Standart Deviation", 0);
  EXPECT_TRUE(kvtest::LeavesUnchanged(op, source));
  kvtest::SetParam(op, "Standart Deviation", 50);
  kvtest::SetParam(op, "Degree of correlation", 0);
  EXPECT_TRUE(kvtest::LeavesUnchanged(op, source));
}

TEST_F(AdditiveNoise, ChannelsOfAColourPixelGetIndependentDraws)
{
  GaussianNoise op;
  kvtest::SetParam(op, "Mean", 0);
  kvtest::SetParam(op, "Sigma", 20);
  cImage source;
  Flat(source, 300, 300, 3, 128);
  auto result = kvtest::RunOperation(op, source);
  // Correlation of the blue and red noise: 0 for independent draws, sd 1/300.
  double sxy = 0, sxx = 0, syy = 0;
  for (int y = 0; y < 300; ++y)
    for (int x = 0; x < 300; ++x) {
      const double b = kvtest::Pixel(*result->GetSurface(), x, y, 0) - 128.0;
      const double r = kvtest::Pixel(*result->GetSurface(), x, y, 2) - 128.0;
      sxy += b * r;
      sxx += b * b;
      syy += r * r;
    }
  EXPECT_NEAR(sxy / std::sqrt(sxx * syy), 0.0, 6.0 / 300);
}
