#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <thread>

#include "FilterChecks.h"
#include "ParamSupport.h"
#include "TotalVariationFilter.h"
#include "cChambolleSolver.h"

namespace {

// A vertical step from low to high at column `at`, with normal noise of sd sigma, clipped.
void NoisyStep(cBMPSurface& s, int w, int h, int channels, int at, int low, int high, double sigma, uint32_t seed)
{
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, sigma);
  kvtest::Fill(s, w, h, channels, [&](int x, int, int) {
    return uint8_t(std::clamp(std::lround((x < at ? low : high) + noise(rng)), 0L, 255L));
  });
}

void Settings(TotalVariationFilter& op, double weight, int iterations, double tolerance)
{
  kvtest::Set(op, "Weight", weight);
  kvtest::Set(op, "Iterations", iterations);
  kvtest::Set(op, "Tolerance", tolerance);
}

// Mean over rows of the jump between columns at - 1 and at.
double Jump(cBMPSurface& s, int at)
{
  double sum = 0;
  for (int y = 0; y < s.GetHeight(); ++y) sum += double(kvtest::Pixel(s, at, y)) - kvtest::Pixel(s, at - 1, y);
  return sum / s.GetHeight();
}

}  // namespace

TEST(TotalVariation, ObjectiveFallsAtEveryIteration)
{
  cImage picture;
  NoisyStep(*picture.GetSurface(), 48, 40, 1, 20, 60, 190, 25, 3);
  std::vector<double> f;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 48; ++x) f.push_back(kvtest::Pixel(*picture.GetSurface(), x, y) / 255.0);
  for (double weight : {0.02, 0.1, 0.5})
    for (bool plain : {false, true}) {
      cChambolleSolver solver;
      std::vector<double> u;
      ASSERT_TRUE(solver.Solve(
          {weight, 150, 0.0}, f, 48, 40, plain, [](int) { return true; }, u));
      const std::vector<double>& e = solver.Objectives();
      ASSERT_EQ(e.size(), 150u);
      for (size_t i = 1; i < e.size(); ++i) ASSERT_LT(e[i], e[i - 1]) << "weight " << weight << ", iteration " << i;
    }
}

TEST(TotalVariation, StepConvergesToTheShrunkStep)
{
  // Constant down the columns, a step of n columns each side: the minimiser of
  // 1/2 |u - f|^2 + w TV(u) moves each side w / n towards the other (on [0, 1]), or, when the
  // jump is at most 2 w / n, makes both their mean.
  struct sCase {
    int Low, High, Side;
    double Weight;
    int ExpectedLow, ExpectedHigh;
  };
  const sCase cases[] = {{51, 204, 4, 0.2, 64, 191},    // 51 + 12.75, 204 - 12.75
                         {40, 200, 8, 0.5, 56, 184},    // +-15.94
                         {10, 250, 2, 0.001, 10, 250},  // +-0.13
                         {100, 110, 4, 0.1, 105, 105},  // 2 w / n = 12.75 grey levels > 10: merged
                         {0, 254, 3, 2.0, 127, 127}};
  for (const sCase& c : cases)
    for (int channels : {1, 3}) {
      cImage step;
      kvtest::Fill(*step.GetSurface(), 2 * c.Side, 5, channels,
                   [&](int x, int, int) { return uint8_t(x < c.Side ? c.Low : c.High); });
      TotalVariationFilter op;
      Settings(op, c.Weight, 1000, 0.0);
      auto result = kvtest::RunOperation(op, step);
      for (int ch = 0; ch < channels; ++ch)
        for (int y = 0; y < 5; ++y)
          for (int x = 0; x < 2 * c.Side; ++x)
            ASSERT_EQ(kvtest::Pixel(*result->GetSurface(), x, y, ch), x < c.Side ? c.ExpectedLow : c.ExpectedHigh)
                << c.Low << "/" << c.High << " weight " << c.Weight << " at " << x << "," << y;
    }
}

TEST(TotalVariation, FlatPicturesStayAsTheyAre)
{
  TotalVariationFilter op;
  for (double weight : {0.001, 0.1, 2.0})
    for (uint8_t value : {0, 77, 255}) {
      Settings(op, weight, 1000, 0.0);
      cImage flat;
      kvtest::Fill(*flat.GetSurface(), 31, 17, 3, [&](int, int, int) { return value; });
      EXPECT_TRUE(kvtest::LeavesUnchanged(op, flat)) << int(value) << " weight " << weight;
    }
}

TEST(TotalVariation, KeepsAnEdgeSharperThanTheMeanWhileSmoothingAsMuch)
{
  cImage noisy;
  NoisyStep(*noisy.GetSurface(), 64, 64, 1, 32, 60, 190, 15, 11);
  TotalVariationFilter op;
  auto tv = kvtest::RunOperation(op, noisy);
  // The 3 x 3 arithmetic mean, inside the picture.
  cImage mean;
  kvtest::Fill(*mean.GetSurface(), 62, 64, 1, [&](int x, int y, int) {
    int sum = 0;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = 0; dx <= 2; ++dx) sum += kvtest::Pixel(*noisy.GetSurface(), x + dx, std::clamp(y + dy, 0, 63));
    return uint8_t(std::lround(sum / 9.0));
  });
  // The flat sides' spread: the noise left behind.
  auto spread = [](cBMPSurface& s, int from, int to) {
    double sum = 0, squares = 0;
    int n = 0;
    for (int y = 0; y < s.GetHeight(); ++y)
      for (int x = from; x < to; ++x) {
        const double v = kvtest::Pixel(s, x, y);
        sum += v;
        squares += v * v;
        ++n;
      }
    return std::sqrt(squares / n - (sum / n) * (sum / n));
  };
  EXPECT_LT(spread(*tv->GetSurface(), 4, 28), spread(*mean.GetSurface(), 3, 27));
  EXPECT_GT(Jump(*tv->GetSurface(), 32), 100.0);  // of the 130 levels
  EXPECT_LT(Jump(*mean.GetSurface(), 31), 50.0);
}

TEST(TotalVariation, RowsAcrossThreadsGiveThePlainReference)
{
  TotalVariationFilter op;
  struct sSetting {
    double Weight;
    int Iterations;
    double Tolerance;
  };
  for (const sSetting& s : {sSetting{0.1, 200, 0.0002}, sSetting{2.0, 60, 0.0}, sSetting{0.001, 3, 0.0}}) {
    Settings(op, s.Weight, s.Iterations, s.Tolerance);
    kvtest::ExpectFastEqualsPlain(op, "weight " + std::to_string(s.Weight));
  }
  kvtest::ExpectChannelsIndependent(op);
}

TEST(TotalVariation, ReportsProgressAndStopsBetweenIterations)
{
  cImage source;
  NoisyStep(*source.GetSurface(), 200, 200, 3, 100, 60, 190, 20, 5);
  TotalVariationFilter op;
  Settings(op, 0.1, 1000, 0.0);
  cImage result;
  op.SetInterfaces(&source, &result);
  tTerminateFlag terminated{false};
  std::thread worker([&] { op.Execute(terminated); });
  while (result.PercentDone.load() < 1) std::this_thread::yield();
  terminated.store(true);
  worker.join();
  EXPECT_EQ(result.GetTitle(), "Total Variation Filter(Terminated!)");
  EXPECT_LT(result.PercentDone.load(), 33u);
  // The last channel was never reached: still the source's.
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 200; ++x)
      ASSERT_EQ(kvtest::Pixel(*result.GetSurface(), x, y, 2), kvtest::Pixel(*source.GetSurface(), x, y, 2));
}

TEST(TotalVariation, StopsAtTheFirstSmallChangeOfTheEnergy)
{
  cImage picture;
  NoisyStep(*picture.GetSurface(), 40, 30, 1, 13, 50, 170, 30, 8);
  std::vector<double> f;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) f.push_back(kvtest::Pixel(*picture.GetSurface(), x, y) / 255.0);
  const auto always = [](int) { return true; };
  for (double weight : {0.05, 0.3}) {
    cChambolleSolver full;
    std::vector<double> u;
    full.Solve({weight, 300, 0.0}, f, 40, 30, false, always, u);
    const std::vector<double> e = full.Energies();
    ASSERT_EQ(e.size(), 300u);
    for (double tolerance : {1e-2, 2e-4, 1e-5}) {
      size_t last = 1;
      while (last < e.size() && !(std::abs(e[last] - e[last - 1]) < tolerance * e[0])) ++last;
      ASSERT_LT(last, e.size()) << "pick a smaller tolerance";
      cChambolleSolver stopping, counted;
      std::vector<double> stopped, exact;
      stopping.Solve({weight, 300, tolerance}, f, 40, 30, false, always, stopped);
      EXPECT_EQ(stopping.Energies().size(), last + 1) << weight << " " << tolerance;
      // What it gives is the last picture formed: that of a run of exactly that many iterations.
      counted.Solve({weight, int(last) + 1, 0.0}, f, 40, 30, false, always, exact);
      EXPECT_EQ(stopped, exact) << weight << " " << tolerance;
    }
  }
}
