#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <thread>

#include "ArithmeticMeanFilter.h"
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
  kvtest::SetParam(op, "Weight", weight);
  kvtest::SetParam(op, "Iterations", iterations);
  kvtest::SetParam(op, "Tolerance", tolerance);
}

// Mean over rows of the jump between columns at - 1 and at.
double Jump(cBMPSurface& s, int at)
{
  double sum = 0;
  for (int y = 0; y < s.GetHeight(); ++y) sum += double(kvtest::Pixel(s, at, y)) - kvtest::Pixel(s, at - 1, y);
  return sum / s.GetHeight();
}

}  // namespace

TEST(TotalVariation, ObjectiveFallsAndTheRunStopsAtTheFirstSmallChangeOfTheEnergy)
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
    const std::vector<double> objective = full.Objectives(), e = full.Energies();
    ASSERT_EQ(objective.size(), 300u);
    for (size_t i = 1; i < objective.size(); ++i) ASSERT_LT(objective[i], objective[i - 1]) << weight << ", " << i;
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
        for (int x = 0; x < 2 * c.Side; ++x)
          ASSERT_EQ(kvtest::Pixel(*result->GetSurface(), x, 4, ch), x < c.Side ? c.ExpectedLow : c.ExpectedHigh)
              << c.Low << "/" << c.High << " weight " << c.Weight << " at " << x;
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

TEST(TotalVariation, KeepsAnEdgeSharperThanTheMeanAndEndsCloserToTheCleanStep)
{
  cImage clean, noisy;
  NoisyStep(*clean.GetSurface(), 64, 64, 1, 32, 60, 190, 0, 11);
  NoisyStep(*noisy.GetSurface(), 64, 64, 1, 32, 60, 190, 15, 11);
  TotalVariationFilter tv;
  ArithmeticMeanFilter mean;  // 3 x 3
  auto smoothed = kvtest::RunOperation(tv, noisy), averaged = kvtest::RunOperation(mean, noisy);
  EXPECT_GT(Jump(*smoothed->GetSurface(), 32), 100.0);  // of the 130 levels
  EXPECT_LT(Jump(*averaged->GetSurface(), 32), 50.0);
  EXPECT_LT(kvtest::MSE(*smoothed->GetSurface(), *clean.GetSurface()),
            kvtest::MSE(*averaged->GetSurface(), *clean.GetSurface()));
}

TEST(TotalVariation, RowsAcrossThreadsGiveThePlainReference)
{
  TotalVariationFilter op;
  for (double weight : {0.1, 2.0, 0.001}) {
    Settings(op, weight, weight == 0.1 ? 200 : 60, weight == 0.1 ? 0.0002 : 0.0);
    kvtest::ExpectFastEqualsPlain(op, "weight " + std::to_string(weight));
  }
  kvtest::ExpectChannelsIndependent(op);
}

TEST(TotalVariation, ReportsProgressAndStopsBetweenIterations)
{
  cImage source, result;
  NoisyStep(*source.GetSurface(), 200, 200, 3, 100, 60, 190, 20, 5);
  TotalVariationFilter op;
  Settings(op, 0.1, 1000, 0.0);
  op.SetInterfaces(&source, &result);
  tTerminateFlag terminated{false};
  std::thread worker([&] { op.Execute(terminated); });
  while (result.PercentDone.load() < 1) std::this_thread::yield();
  terminated.store(true);
  worker.join();
  EXPECT_EQ(result.GetTitle(), "Total Variation Filter(Terminated!)");
  // The last channel was never reached: still the source's.
  cBMPSurface last, sourceLast;
  kvtest::ExtractChannel(*result.GetSurface(), 2, last);
  kvtest::ExtractChannel(*source.GetSurface(), 2, sourceLast);
  EXPECT_TRUE(kvtest::SamePixels(last, sourceLast));
}
