#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>

#include "FastMedianFilter.h"
#include "FilterChecks.h"
#include "NonLocalMeansFilter.h"
#include "ParamSupport.h"
#include "kvRuntime/cWorkerPool.h"

using kvtest::At;
using kvtest::RunOperation;
using kvtest::SetParam;

namespace {

struct sSettings {
  double Sigma;
  int Patch;
  int Search;
  double Strength;
};

void Configure(NonLocalMeansFilter& nlm, const sSettings& s)
{
  SetParam(nlm, "Sigma", s.Sigma);
  SetParam(nlm, "Patch radius", s.Patch);
  SetParam(nlm, "Search radius", s.Search);
  SetParam(nlm, "Strength", s.Strength);
}

// Gaussian noise of deviation sigma, rounded and clipped to 8 bits.
void AddNoise(cBMPSurface& s, double sigma, uint32_t seed)
{
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, sigma);
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int i = 0; i < s.GetWidth() * s.GetChannelsCount(); ++i)
      s.Row(y)[i] = uint8_t(std::clamp(std::lround(s.Row(y)[i] + noise(rng)), 0L, 255L));
}

// Restores the thread-count setting a test changes.
class ThreadCount {
public:
  ~ThreadCount() { kvSetThreadCount(Saved); }

private:
  unsigned Saved = kvGetThreadCount();
};

}  // namespace

TEST(NonLocalPackage, RegistersTheFilterWithItsParameters)
{
  const std::vector<std::string> names = kvtest::PackageOperationNames("060pkNonLocal.so");
  ASSERT_EQ(names, (std::vector<std::string>{"Non-Local Means", "BM3D Filter"}));
  NonLocalMeansFilter nlm;
  EXPECT_EQ(nlm.GetGroupName(), "Non-local Filters");
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 6, 5, 1, 1);
  EXPECT_EQ(RunOperation(nlm, source)->GetTitle(), "Non-Local Means (S=20;PR=3;SR=10;S=0.4)");
}

// Two copies of the patch around (a, b) planted in a noise picture far from anything alike:
// the pixel takes its own value and the copies' centres with the weights of the formula, and
// its own at the largest of them.
TEST(NonLocalMeans, WeighsPlantedCopiesOfAPatchByTheirDistance)
{
  struct sCase {
    int Channels;
    int Ax, Ay;  // the original patch's centre (near the border in the second case)
  };
  const sCase cases[] = {{1, 15, 14}, {3, 15, 14}, {1, 1, 2}};
  const double sigma = 10, strength = 1, h = sigma * strength;
  const int r = 3, side = 2 * r + 1;
  for (const sCase& c : cases) {
    cImage source;
    cBMPSurface& s = *source.GetSurface();
    kvtest::FillRandom(s, 31, 29, c.Channels, 11);
    // The copies, clear of each other and of the original, inside the search window.
    const int copies[2][2] = {{c.Ax + 8, c.Ay + 1}, {c.Ax + 5, c.Ay + 10}};
    for (int ch = 0; ch < c.Channels; ++ch) {
      s.CurrentChannel = ch;
      s.SetPixel(c.Ax, c.Ay, 100);
      for (const auto& at : copies)
        for (int ky = -r; ky <= r; ++ky)
          for (int kx = -r; kx <= r; ++kx) s.SetPixel(at[0] + kx, at[1] + ky, s.GetPixel(c.Ax + kx, c.Ay + ky));
    }
    // The first copy's centre differs by 120 in channel 0; the second copy differs only in one
    // other sample, by 150.
    s.CurrentChannel = 0;
    s.SetPixel(copies[0][0], copies[0][1], 220);
    s.SetPixel(copies[1][0] + 1, copies[1][1] - 2, uint8_t(s.GetPixel(copies[1][0] + 1, copies[1][1] - 2) ^ 0x96));
    const int changed =
        std::abs(int(s.GetPixel(copies[1][0] + 1, copies[1][1] - 2)) - int(s.GetPixel(c.Ax + 1, c.Ay - 2)));
    auto weight = [&](double squares) {
      const double d2 = squares / (side * side * c.Channels);
      return std::exp(-std::max(d2 - 2 * sigma * sigma, 0.0) / (h * h));
    };
    const double w1 = weight(120.0 * 120.0), w2 = weight(double(changed * changed));
    const double own = std::max(w1, w2);
    const double expected = (own * 100 + w1 * 220 + w2 * 100) / (own + w1 + w2);

    NonLocalMeansFilter nlm;
    Configure(nlm, {sigma, r, 10, strength});
    auto result = RunOperation(nlm, source);
    EXPECT_NEAR(At(*result, c.Ax, c.Ay, 0), expected, 0.5 + 1e-3) << c.Channels << " channel(s) at " << c.Ax;
    for (int ch = 1; ch < c.Channels; ++ch) {
      EXPECT_EQ(At(*result, c.Ax, c.Ay, ch), At(source, c.Ax, c.Ay, ch));
    }
  }
}

// The picture is extended by the border rule (mirrored without the edge sample at the left and
// top, with it at the right and bottom): filtering it equals filtering that extension inside.
TEST(NonLocalMeans, ReadsOutsideThePictureByTheBorderRule)
{
  auto fold = [](int i, int n) { return i < 0 ? -i : i >= n ? 2 * n - 1 - i : i; };
  const sSettings settings[] = {{15, 1, 4, 0.6}, {30, 2, 3, 0.4}};
  for (const sSettings& set : settings) {
    const int m = set.Patch + set.Search;
    cImage source, extended;
    // Smooth with noise, so that neighbours carry weight.
    kvtest::Fill(*source.GetSurface(), 14, 11, 3,
                 [](int x, int y, int c) { return uint8_t(60 + 9 * x + 5 * y + 20 * c); });
    AddNoise(*source.GetSurface(), 12, 5);
    kvtest::Fill(*extended.GetSurface(), 14 + 2 * m, 11 + 2 * m, 3,
                 [&](int x, int y, int c) { return At(source, fold(x - m, 14), fold(y - m, 11), c); });
    NonLocalMeansFilter nlm;
    Configure(nlm, set);
    auto whole = RunOperation(nlm, source);
    auto inside = RunOperation(nlm, extended, sRect{m, m, m + 14, m + 11});
    for (int y = 0; y < 11; ++y)
      for (int x = 0; x < 14; ++x)
        for (int c = 0; c < 3; ++c)
          ASSERT_EQ(At(*whole, x, y, c), At(*inside, x + m, y + m, c)) << x << "," << y << " patch " << set.Patch;
  }
}

// The sliding sums per offset against the patch-by-patch reference, on pictures of awkward
// shapes, on regions, at the parameter extremes and with Sigma 0; and the result on one thread
// against the result on several.
TEST(NonLocalMeans, FastPathEqualsReferenceOnAnyThreadCount)
{
  const sSettings settings[] = {{20, 3, 10, 0.4}, {0, 1, 1, 0.05}, {45, 5, 2, 2}, {8, 2, 17, 0.3}};
  NonLocalMeansFilter nlm;
  for (const sSettings& s : settings) {
    Configure(nlm, s);
    kvtest::ExpectFastEqualsPlain(nlm, "sigma " + std::to_string(s.Sigma) + " patch " + std::to_string(s.Patch));
  }
  ThreadCount restore;
  cImage tall;
  kvtest::FillRandom(*tall.GetSurface(), 40, 101, 1, 3);
  AddNoise(*tall.GetSurface(), 20, 4);
  Configure(nlm, {20, 2, 5, 0.4});
  kvSetThreadCount(1);
  auto one = RunOperation(nlm, tall);
  for (unsigned threads : {2u, 3u, 7u}) {
    kvSetThreadCount(threads);
    EXPECT_TRUE(kvtest::SamePixels(*one->GetSurface(), *RunOperation(nlm, tall)->GetSurface())) << threads;
  }
}

// At sigma 25 on a natural picture the filter must clearly beat the 5 x 5 median.
TEST(NonLocalMeans, BeatsTheFiveByFiveMedianAtSigma25)
{
  cImage full, clean, noisy;
  ASSERT_TRUE(full.LoadImage(KV_SAMPLES_DIR "camera.bmp"));
  kvtest::Fill(*clean.GetSurface(), 128, 128, 1, [&](int x, int y, int) { return At(full, x + 200, y + 100); });
  kvtest::Fill(*noisy.GetSurface(), 128, 128, 1, [&](int x, int y, int) { return At(clean, x, y); });
  AddNoise(*noisy.GetSurface(), 25, 9);
  NonLocalMeansFilter nlm;
  Configure(nlm, {25, 3, 10, 0.4});
  FastMedianFilter median;
  SetParam(median, "Width size", 5);
  SetParam(median, "Height size", 5);
  const double ours = kvtest::PSNR(*RunOperation(nlm, noisy)->GetSurface(), *clean.GetSurface());
  const double theirs = kvtest::PSNR(*RunOperation(median, noisy)->GetSurface(), *clean.GetSurface());
  EXPECT_GT(ours, theirs + 1.0) << "non-local means " << ours << " dB, median " << theirs << " dB";
}

// A stop leaves every row either filtered or as the source, and titles the run as stopped.
TEST(NonLocalMeans, StopLeavesRowsFilteredOrUntouched)
{
  ThreadCount restore;
  kvSetThreadCount(1);
  cImage source;
  kvtest::Fill(*source.GetSurface(), 96, 200, 1, [](int x, int y, int) { return uint8_t(x + y / 2); });
  AddNoise(*source.GetSurface(), 20, 8);
  NonLocalMeansFilter nlm;
  auto full = RunOperation(nlm, source);
  bool stoppedMidway = false;
  for (int attempt = 0; attempt < 5 && !stoppedMidway; ++attempt) {
    cImage result;
    nlm.SetInterfaces(&source, &result);
    tTerminateFlag terminated{attempt == 0};
    std::thread watcher([&] {
      while (result.PercentDone.load() < 50 && !terminated.load()) std::this_thread::yield();
      terminated = true;
    });
    nlm.Execute(terminated);
    watcher.join();
    EXPECT_EQ(result.GetTitle(), "Non-Local Means(Terminated!)");
    int filtered = 0;
    for (int y = 0; y < 200; ++y) {
      const bool asFull =
          std::equal(result.GetSurface()->Row(y), result.GetSurface()->Row(y) + 96, full->GetSurface()->Row(y));
      const bool asSource =
          std::equal(result.GetSurface()->Row(y), result.GetSurface()->Row(y) + 96, source.GetSurface()->Row(y));
      ASSERT_TRUE(asFull || asSource) << "row " << y;
      filtered += asFull && !asSource;
    }
    if (attempt == 0) {
      EXPECT_EQ(filtered, 0);
    }
    stoppedMidway = filtered > 0 && filtered < 200;
  }
  EXPECT_TRUE(stoppedMidway);
}
