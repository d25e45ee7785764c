#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "NoiseTestSupport.h"
#include "PoissonGaussianNoise.h"
#include "PoissonNoise.h"
#include "cPoissonSampler.h"
#include "kvOperations/cRandomBatch.h"

using namespace noisetest;

namespace {

class PhotonNoise : public ::testing::Test {
protected:
  void TearDown() override { cRandomGenerator::ClearSeed(); }
};

double PoissonProbability(double mean, int k)
{
  if (mean == 0) return k == 0 ? 1.0 : 0.0;
  return std::exp(-mean + k * std::log(mean) - std::lgamma(k + 1.0));
}

double NormalBelow(double z)
{
  return 0.5 * std::erfc(-z / std::sqrt(2.0));
}

// The exact law of what grey level g becomes: the count scaled by 255 / peak, plus a normal
// deviate of sd sigma, rounded half up, clipped.
std::vector<double> OutputLaw(int g, double peak, double sigma)
{
  std::vector<double> law(256, 0.0);
  const double mean = g * peak / 255.0;
  const double spread = 12 * std::sqrt(mean) + 30;
  for (int k = std::max(0, int(mean - spread)); k <= int(mean + spread); ++k) {
    const double p = PoissonProbability(mean, k), s = k * 255.0 / peak;
    if (sigma == 0) {
      law[size_t(std::clamp(std::floor(s + 0.5), 0.0, 255.0))] += p;
      continue;
    }
    const int from = std::clamp(int(s - 9 * sigma), 0, 255), to = std::clamp(int(s + 9 * sigma) + 1, 0, 255);
    for (int j = from; j <= to; ++j) {
      const double low = j == 0 ? -std::numeric_limits<double>::infinity() : j - 0.5;
      const double high = j == 255 ? std::numeric_limits<double>::infinity() : j + 0.5;
      law[size_t(j)] += p * (NormalBelow((high - s) / sigma) - NormalBelow((low - s) / sigma));
    }
  }
  return law;
}

struct sMoments {
  double Mean = 0, Variance = 0, Fourth = 0;
};

sMoments MomentsOf(const std::vector<double>& law)
{
  sMoments m;
  for (size_t j = 0; j < law.size(); ++j) m.Mean += law[j] * double(j);
  for (size_t j = 0; j < law.size(); ++j) {
    const double d = double(j) - m.Mean;
    m.Variance += law[j] * d * d;
    m.Fourth += law[j] * d * d * d * d;
  }
  return m;
}

}  // namespace

TEST_F(PhotonNoise, SamplerFollowsThePoissonLawOnBothSidesOfItsSwitch)
{
  // 2 * 10^5 draws a mean, cells merged until each expects 20: a normal approximation fails
  // here up to means of some hundreds.
  const int draws = 200000;
  for (double mean : {0.0, 0.3, 4.0, 9.99, 10.0, 17.5, 60.0, 800.0, 9000.0}) {
    cRandomGenerator::SetSeed(uint64_t(mean * 100) + 1);
    const cPoissonSampler sampler(mean);
    std::vector<long> counts;
    {
      cRandomBatch rnd;
      for (int i = 0; i < draws; ++i) {
        const unsigned k = sampler.Draw(rnd);
        if (k >= counts.size()) counts.resize(k + 1, 0);
        ++counts[k];
      }
    }
    if (mean == 0) {
      EXPECT_EQ(counts.size(), 1u);
      continue;
    }
    double chi2 = 0, expectedCell = 0, observedCell = 0, seen = 0;
    int cells = 0;
    const int top = int(mean + 12 * std::sqrt(mean) + 30);
    for (int k = 0; k <= top; ++k) {
      expectedCell += draws * PoissonProbability(mean, k);
      observedCell += k < int(counts.size()) ? counts[size_t(k)] : 0;
      if (expectedCell >= 20 || k == top) {
        seen += expectedCell;
        chi2 += (observedCell - expectedCell) * (observedCell - expectedCell) / expectedCell;
        ++cells;
        expectedCell = observedCell = 0;
      }
    }
    EXPECT_GT(seen, draws * 0.999);
    const double df = cells - 1;
    EXPECT_LT(chi2, df + 5 * std::sqrt(2 * df)) << "mean " << mean << ", " << cells << " cells";
  }
}

TEST_F(PhotonNoise, MeanAndVarianceOfEveryGreyLevelFollowTheModel)
{
  struct sCase {
    bool WithReadNoise;
    double Peak, Sigma;
    int Rows, Channels;  // draws per grey level: rows * channels
  };
  const sCase cases[] = {{false, 1, 0, 20, 3},   {false, 30, 0, 1000, 1}, {false, 10000, 0, 400, 3},
                         {true, 30, 5, 2000, 1}, {true, 1000, 2, 300, 3}, {true, 100, 10, 3000, 1},
                         {true, 5, 40, 40, 1}};
  for (const sCase& c : cases) {
    PoissonNoise poisson;
    PoissonGaussianNoise poissonGaussian;
    acOperation& op = c.WithReadNoise ? static_cast<acOperation&>(poissonGaussian) : poisson;
    kvtest::SetParam(op, "Peak", c.Peak);
    if (c.WithReadNoise) kvtest::SetParam(op, "Sigma", c.Sigma);
    cImage ramp;
    kvtest::Fill(*ramp.GetSurface(), 256, c.Rows, c.Channels, [](int x, int, int) { return uint8_t(x); });
    cRandomGenerator::SetSeed(uint64_t(c.Peak) * 7 + uint64_t(c.Rows));
    auto result = kvtest::RunOperation(op, ramp);
    const double n = double(c.Rows) * c.Channels;
    // Over the levels, the deviations in standard errors must also add up like independent
    // ones (a bias too small for one level shows here); from 1000 draws a level on, where they
    // are close to normal.
    double meanScores = 0, varianceScores = 0;
    int scored = 0;
    for (int g = 0; g < 256; ++g) {
      double sum = 0, squares = 0;
      for (int ch = 0; ch < c.Channels; ++ch)
        for (int y = 0; y < c.Rows; ++y) {
          const double v = kvtest::Pixel(*result->GetSurface(), g, y, ch);
          sum += v;
          squares += v * v;
        }
      const double mean = sum / n, variance = squares / n - mean * mean;
      const sMoments exact = MomentsOf(OutputLaw(g, c.Peak, c.Sigma));
      const double varianceError = std::sqrt(std::max(0.0, exact.Fourth - exact.Variance * exact.Variance) / n);
      ASSERT_NEAR(mean, exact.Mean, 5 * std::sqrt(exact.Variance / n) + 1e-9)
          << op.GetName() << " peak " << c.Peak << ", grey level " << g;
      // The sample variance is taken about the sample mean, which is off by up to 5 of its
      // standard errors: up to 25 Variance / n less.
      ASSERT_NEAR(variance, exact.Variance, 5 * varianceError + 25 * exact.Variance / n + 1e-9)
          << op.GetName() << " peak " << c.Peak << ", grey level " << g;
      if (varianceError > 1e-3 * exact.Variance) {
        meanScores += (mean - exact.Mean) / std::sqrt(exact.Variance / n);
        varianceScores += (variance - exact.Variance * (1 - 1 / n)) / varianceError;
        ++scored;
      }
    }
    if (n < 1000) continue;
    EXPECT_LT(std::abs(meanScores) / std::sqrt(scored), 5.0) << op.GetName() << " peak " << c.Peak;
    EXPECT_LT(std::abs(varianceScores) / std::sqrt(scored), 5.0) << op.GetName() << " peak " << c.Peak;
  }
}

TEST_F(PhotonNoise, FixedSeedReproducesAndRunsDiffer)
{
  PoissonNoise poisson;
  PoissonGaussianNoise poissonGaussian;
  for (acOperation* op : {static_cast<acOperation*>(&poisson), static_cast<acOperation*>(&poissonGaussian)}) {
    cImage source;
    kvtest::FillRandom(*source.GetSurface(), 64, 48, 3, 17);
    cRandomGenerator::SetSeed(77);
    auto first = kvtest::RunOperation(*op, source);
    auto second = kvtest::RunOperation(*op, source);
    cRandomGenerator::SetSeed(77);
    auto again = kvtest::RunOperation(*op, source);
    EXPECT_TRUE(kvtest::SamePixels(*first->GetSurface(), *again->GetSurface())) << op->GetName();
    EXPECT_FALSE(kvtest::SamePixels(*first->GetSurface(), *second->GetSurface())) << op->GetName();
  }
}
