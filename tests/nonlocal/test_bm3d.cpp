// BM3D: its transforms against plain matrices, block matching, the noise it removes, and its
// behaviour as an operation (threads, regions, stopping, package).
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

#include "BM3DFilter.h"
#include "FilterChecks.h"
#include "ParamSupport.h"
#include "cBlockMatcher.h"
#include "cBlockTransform.h"
#include "cGroupHaar.h"
#include "kvRuntime/cWorkerPool.h"

using namespace kvtest;

namespace {

std::vector<float> RandomFloats(size_t n, uint32_t seed)
{
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> value(-100.0f, 300.0f);
  std::vector<float> v(n);
  for (float& x : v) x = value(rng);
  return v;
}

// The picture plus Gaussian noise of sigma, rounded and clipped to 8 bits.
void AddGaussian(cBMPSurface& s, double sigma, uint32_t seed)
{
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, sigma);
  const int n = s.GetWidth() * s.GetChannelsCount();
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int i = 0; i < n; ++i) s.Row(y)[i] = uint8_t(std::clamp(std::round(s.Row(y)[i] + noise(rng)), 0.0, 255.0));
}

// Runs the filter with this sigma (and profile) on source.
std::unique_ptr<cImage> Denoise(cImage& source, double sigma, int profile = 0,
                                std::optional<sRect> region = std::nullopt)
{
  static BM3DFilter filter;
  SetParam(filter, "Sigma", sigma);
  SetParam(filter, "Profile", profile);
  return RunOperation(filter, source, region);
}

// A part of a sample picture, so the filters meet real structure.
void SampleCrop(cImage& image, const char* file, int side)
{
  cImage whole;
  ASSERT_TRUE(whole.LoadImage(std::string(KV_SAMPLES_DIR) + file));
  cBMPSurface& from = *whole.GetSurface();
  const int channels = from.GetChannelsCount();
  Fill(*image.GetSurface(), side, side, channels, [&](int x, int y, int c) {
    return from.Row(y + from.GetHeight() / 4)[(x + from.GetWidth() / 4) * channels + c];
  });
}

// The 8-sample biorthogonal 1.5 analysis, row by row: three levels of periodic filtering and
// halving from the wavelet's taps (the high pass is Haar's), coarsest first, each row scaled to
// unit norm.
std::vector<std::vector<double>> Bior15Rows()
{
  const double r = std::sqrt(2.0);
  const double low[10] = {3, -3, -22, 22, 128, 128, 22, -22, -3, 3};
  std::vector<std::vector<double>> rows(8, std::vector<double>(8));
  for (int unit = 0; unit < 8; ++unit) {
    std::vector<double> a(8, 0.0), out;
    a[size_t(unit)] = 1;
    for (int n = 8; n > 1; n /= 2) {
      std::vector<double> approx(size_t(n / 2)), detail(size_t(n / 2));
      for (int k = 0; k < n / 2; ++k) {
        for (int j = 0; j < 10; ++j) approx[size_t(k)] += low[j] * r / 256 * a[size_t((2 * k + 5 - j + 2 * n) % n)];
        detail[size_t(k)] = (a[size_t(2 * k)] - a[size_t(2 * k + 1)]) / r;
      }
      out.insert(out.begin(), detail.begin(), detail.end());
      a = approx;
    }
    out.insert(out.begin(), a[0]);
    for (int k = 0; k < 8; ++k) rows[size_t(k)][size_t(unit)] = out[size_t(k)];
  }
  for (auto& row : rows) {
    double norm = 0;
    for (double v : row) norm += v * v;
    for (double& v : row) v /= std::sqrt(norm);
  }
  return rows;
}

}  // namespace

TEST(BM3DTransforms, BlockTransformsAreTheirMatrixProductsAndRoundTrip)
{
  const auto bior = Bior15Rows();
  for (int n : {8, 11, 12, -8}) {
    const bool wavelet = n < 0;
    n = std::abs(n);
    const cBlockTransform dct(n, wavelet ? cBlockTransform::btBior15 : cBlockTransform::btDCT);
    // The plain reference: C X C^T in double, C from the cosine formula or the wavelet's taps.
    auto c = [n, wavelet, &bior](int k, int i) {
      if (wavelet) return bior[size_t(k)][size_t(i)];
      return std::sqrt((k == 0 ? 1.0 : 2.0) / n) * std::cos(std::numbers::pi * (2 * i + 1) * k / (2.0 * n));
    };
    const int stride = n + 3;  // blocks are read out of a wider plane
    const std::vector<float> x = RandomFloats(size_t(n * stride), uint32_t(n));
    std::vector<float> y(size_t(n * n)), back(size_t(n * stride), -1.0f);
    dct.Forward(x.data(), stride, y.data());
    double worst = 0;
    for (int k = 0; k < n; ++k)
      for (int l = 0; l < n; ++l) {
        double sum = 0;
        for (int i = 0; i < n; ++i)
          for (int j = 0; j < n; ++j) sum += c(k, i) * x[size_t(i * stride + j)] * c(l, j);
        worst = std::max(worst, std::fabs(sum - y[size_t(k * n + l)]));
      }
    EXPECT_LT(worst, 1e-3) << n << " x " << n << (wavelet ? " wavelet" : " DCT") << " forward";
    dct.Inverse(y.data(), back.data(), stride);
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < stride; ++j)
        if (j < n) {
          EXPECT_NEAR(back[size_t(i * stride + j)], x[size_t(i * stride + j)], 1e-3)
              << n << (wavelet ? " wavelet" : " DCT") << " round trip";
        } else {
          EXPECT_EQ(back[size_t(i * stride + j)], -1.0f) << n << ": wrote outside the block";
        }
  }
}

TEST(BM3DTransforms, GroupHaarIsTheOrthonormalHaarMatrixAndRoundTrips)
{
  cGroupHaar haar;
  for (int count : {1, 2, 4, 8, 16, 32}) {
    // Plain reference: rows of the full-depth Haar matrix, built level by level in double.
    std::vector<std::vector<double>> rows = {{1.0}};
    while (int(rows.size()) < count) {
      const size_t m = rows.size();
      std::vector<std::vector<double>> next(2 * m, std::vector<double>(2 * m, 0.0));
      for (size_t r = 0; r < m; ++r)
        for (size_t i = 0; i < m; ++i) next[r][2 * i] = next[r][2 * i + 1] = rows[r][i] / std::sqrt(2.0);
      for (size_t r = 0; r < m; ++r) {
        next[m + r][2 * r] = 1 / std::sqrt(2.0);
        next[m + r][2 * r + 1] = -1 / std::sqrt(2.0);
      }
      rows = next;
    }
    const int lanes = 5;
    const std::vector<float> x = RandomFloats(size_t(count * lanes), uint32_t(count));
    std::vector<float> y = x;
    haar.Forward(y.data(), count, lanes);
    for (int r = 0; r < count; ++r)
      for (int l = 0; l < lanes; ++l) {
        double sum = 0;
        for (int i = 0; i < count; ++i) sum += rows[size_t(r)][size_t(i)] * x[size_t(i * lanes + l)];
        EXPECT_NEAR(y[size_t(r * lanes + l)], sum, 1e-3) << count << " row " << r;
      }
    haar.Inverse(y.data(), count, lanes);
    for (size_t i = 0; i < x.size(); ++i) EXPECT_NEAR(y[i], x[i], 1e-3) << count << " round trip";
  }
  EXPECT_EQ(cGroupHaar::PowerOfTwoBelow(1), 1);
  EXPECT_EQ(cGroupHaar::PowerOfTwoBelow(31), 16);
  EXPECT_EQ(cGroupHaar::PowerOfTwoBelow(32), 32);
}

TEST(BM3DMatching, FindsAPlantedCopyAndOnlyWithinTheWindow)
{
  const int w = 80, h = 70;
  std::vector<float> plane = RandomFloats(size_t(w * h), 3);
  auto plant = [&](int fx, int fy, int tx, int ty, float offset) {
    for (int i = 0; i < 8; ++i)
      for (int j = 0; j < 8; ++j) plane[size_t((ty + i) * w + tx + j)] = plane[size_t((fy + i) * w + fx + j)] + offset;
  };
  plant(10, 12, 27, 30, 0.0f);  // inside the window of 19
  plant(10, 12, 40, 12, 0.0f);  // 30 columns away: outside it
  plant(10, 12, 25, 2, 1.0f);   // near: 64 in the sum of squared differences
  sBlockSource source{plane.data(), 1, w, w, {w - 7, h - 7}};
  std::vector<sMatch> matches;
  const cBlockMatcher exact(8, 19, 16, 0.5f);
  ASSERT_EQ(exact.Find(source, 10, 12, matches), 2);
  EXPECT_EQ(matches[0].X, 10);
  EXPECT_EQ(matches[0].Y, 12);
  EXPECT_EQ(matches[1].X, 27);
  EXPECT_EQ(matches[1].Y, 30);
  EXPECT_EQ(matches[1].Distance, 0.0f);
  // With room for four: the copy, then the near one at 64; the rest are random blocks far off.
  const cBlockMatcher near(8, 19, 4, 64.5f);
  ASSERT_EQ(near.Find(source, 10, 12, matches), 2) << "three matches are trimmed to a power of two";
  const cBlockMatcher loose(8, 19, 4, 1e9f);
  ASSERT_EQ(loose.Find(source, 10, 12, matches), 4);
  EXPECT_EQ(matches[1].X, 27);
  EXPECT_EQ(matches[2].X, 25);
  EXPECT_FLOAT_EQ(matches[2].Distance, 64.0f);
  EXPECT_GT(matches[3].Distance, 64.0f);
  // The reference itself is always there, also when nothing else passes.
  const cBlockMatcher strict(8, 19, 16, -1.0f);
  ASSERT_EQ(strict.Find(source, 40, 40, matches), 1);
  EXPECT_EQ(matches[0].X, 40);
}

TEST(BM3DMatching, RowAtATimeFindsWhatTheBlockComparisonFinds)
{
  // Smooth with noise, so many candidates pass and the heap and the ties are exercised; a row
  // near each edge and one in the middle, windows cut by the picture's sides.
  struct sCase {
    int N, Radius, MaxCount, Step;
    float Threshold;
  };
  const sCase cases[] = {{8, 19, 16, 3, 2500}, {8, 19, 32, 3, 400}, {8, 5, 4, 2, 1e9f}, {11, 7, 32, 6, 3500}};
  const int w = 61, h = 47;
  std::mt19937 rng(17);
  std::normal_distribution<float> noise(0.0f, 12.0f);
  std::vector<float> plane(size_t(w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) plane[size_t(y * w + x)] = std::round(100 + x + (y / 9) * 20 + noise(rng));
  for (const sCase& c : cases) {
    const sBlockSource source{plane.data(), 1, w, w, {w - c.N + 1, h - c.N + 1}};
    const cBlockMatcher matcher(c.N, c.Radius, c.MaxCount, c.Threshold * float(c.N * c.N));
    std::vector<int> xs;
    for (int x = 0; x < w - c.N; x += c.Step) xs.push_back(x);
    xs.push_back(w - c.N);
    std::vector<std::vector<sMatch>> rows;
    cBlockMatcher::sRowScratch scratch;
    std::vector<sMatch> one;
    for (int y : {0, 2, h / 2, h - c.N}) {
      matcher.FindRow(source, y, xs, rows, scratch);
      ASSERT_EQ(rows.size(), xs.size());
      for (size_t i = 0; i < xs.size(); ++i) {
        matcher.Find(source, xs[i], y, one);
        ASSERT_EQ(rows[i].size(), one.size()) << c.N << " at " << xs[i] << "," << y;
        for (size_t k = 0; k < one.size(); ++k) {
          EXPECT_EQ(rows[i][k].X, one[k].X) << c.N << " at " << xs[i] << "," << y << " match " << k;
          EXPECT_EQ(rows[i][k].Y, one[k].Y) << c.N << " at " << xs[i] << "," << y << " match " << k;
          EXPECT_EQ(rows[i][k].Distance, one[k].Distance);
        }
      }
    }
  }
}

TEST(BM3DFilter, NoiseOnAFlatPictureFallsByTheGroupAverage)
{
  // On a flat picture a full group holds 16 blocks of 64 samples; hard thresholding at 2.7
  // sigma keeps its mean and, of the 1023 pure-noise coefficients, the 0.69 % beyond the
  // threshold: about 8 of 1024 coefficients of noise variance remain, so the error falls by
  // sqrt(1024 / 8) = 11 in sigma, or more where groups overlap (as far as rounding to whole grey
  // levels allows).
  for (double sigma : {10.0, 25.0, 40.0}) {
    cImage flat, noisy;
    Fill(*flat.GetSurface(), 64, 48, 1, [](int, int, int) { return uint8_t(120); });
    Fill(*noisy.GetSurface(), 64, 48, 1, [](int, int, int) { return uint8_t(120); });
    AddGaussian(*noisy.GetSurface(), sigma, 5);
    const double before = std::sqrt(MSE(*noisy.GetSurface(), *flat.GetSurface()));
    const double after = std::sqrt(MSE(*Denoise(noisy, sigma)->GetSurface(), *flat.GetSurface()));
    EXPECT_LT(after, std::max(before / 10, 0.5)) << "sigma " << sigma << ": " << before << " -> " << after;
  }
}

TEST(BM3DFilter, BeatsMedianAndWienerClearlyOnANoisySample)
{
  MessageEnvironment env;
  cOperationPool pool;
  for (const char* file : {"020pkLinear.so", "050pkMedian.so"})
    pool.LoadOperationsFromPackage(KV_PLUGIN_DIR + std::string(file));
  acOperation* median = FindOperation(pool, "Median Filter");
  acOperation* wiener = FindOperation(pool, "Wiener Filter");
  ASSERT_TRUE(median && wiener);
  struct sCase {
    const char* File;
    int Profile;
  };
  for (const sCase& c : {sCase{"camera.bmp", 0}, sCase{"camera.bmp", 1}, sCase{"chelsea.bmp", 0}}) {
    cImage clean, noisy;
    SampleCrop(clean, c.File, 96);
    SampleCrop(noisy, c.File, 96);
    AddGaussian(*noisy.GetSurface(), 25, 9);
    const double bm3d = PSNR(*Denoise(noisy, 25, c.Profile)->GetSurface(), *clean.GetSurface());
    double best = 0;
    for (int window : {3, 5}) {
      SetParam(*median, "Width size", window);
      SetParam(*median, "Height size", window);
      best = std::max(best, PSNR(*RunOperation(*median, noisy)->GetSurface(), *clean.GetSurface()));
      SetParam(*wiener, "Window size", window);
      SetParam(*wiener, "Noise variance", 500.0);
      best = std::max(best, PSNR(*RunOperation(*wiener, noisy)->GetSurface(), *clean.GetSurface()));
    }
    EXPECT_GT(bm3d, best + 1.5) << c.File << " profile " << c.Profile;
  }
  median->GetParams()->ResetToDefault();
  wiener->GetParams()->ResetToDefault();
}

TEST(BM3DFilter, ResultDoesNotDependOnTheThreadCount)
{
  const unsigned saved = kvGetThreadCount();
  // Above sigma 40 the strong-noise settings cut the rows into other chunks.
  for (int channels : {1, 3})
    for (double sigma : {30.0, 50.0}) {
      cImage noisy;
      SampleCrop(noisy, channels == 1 ? "camera.bmp" : "chelsea.bmp", 120);
      AddGaussian(*noisy.GetSurface(), sigma, 4);
      kvSetThreadCount(1);
      const auto one = Denoise(noisy, sigma);
      for (unsigned threads : {2u, 3u, 5u}) {
        kvSetThreadCount(threads);
        EXPECT_TRUE(SamePixels(*one->GetSurface(), *Denoise(noisy, sigma)->GetSurface()))
            << channels << " channel(s), sigma " << sigma << ", " << threads << " threads";
      }
    }
  kvSetThreadCount(saved);
}

TEST(BM3DFilter, RegionsAndAwkwardShapesKeepTheRestOfThePicture)
{
  for (auto& picture : ProbePictures()) {
    const int w = picture->GetWidth(), h = picture->GetHeight();
    const sRect rect{w / 3, h / 4, w - w / 4, h};
    const auto whole = Denoise(*picture, 40);
    EXPECT_FALSE(SamePixels(*whole->GetSurface(), *picture->GetSurface())) << w << " x " << h;
    const auto part = Denoise(*picture, 40, 0, rect);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int c = 0; c < picture->GetChannelsCount(); ++c) {
          const bool inside = x >= rect.Left && x < rect.Right && y >= rect.Top && y < rect.Bottom;
          if (!inside) {
            ASSERT_EQ(At(*part, x, y, c), At(*picture, x, y, c)) << w << " x " << h << " at " << x << "," << y;
          }
        }
  }
  // A preview of a part works on the part with a margin for the search: where the margin
  // reaches the picture's edges it gives the whole run's samples, elsewhere nearly them.
  cImage noisy;
  SampleCrop(noisy, "camera.bmp", 160);
  AddGaussian(*noisy.GetSurface(), 20, 2);
  const auto whole = Denoise(noisy, 20);
  const auto edge = Denoise(noisy, 20, 0, sRect{0, 0, 160, 160});
  EXPECT_TRUE(SamePixels(*whole->GetSurface(), *edge->GetSurface()));
  const auto inner = Denoise(noisy, 20, 0, sRect{60, 50, 100, 110});
  double difference = 0;
  for (int y = 50; y < 110; ++y)
    for (int x = 60; x < 100; ++x) difference += std::abs(At(*inner, x, y) - At(*whole, x, y));
  EXPECT_LT(difference / (40 * 60), 1.0);
}

TEST(BM3DFilter, StopDuringARunLeavesTheSourceAndTheStoppedTitle)
{
  cImage noisy;
  SampleCrop(noisy, "chelsea.bmp", 160);
  AddGaussian(*noisy.GetSurface(), 25, 1);
  BM3DFilter filter;
  cImage result;
  filter.SetInterfaces(&noisy, &result);
  tTerminateFlag terminated{false};
  // Stopped as soon as it reports progress: in the middle of the first stage.
  std::thread stopper([&] {
    while (result.PercentDone.load() == 0) std::this_thread::yield();
    terminated = true;
  });
  result.PercentDone = 0;
  filter.Execute(terminated);
  stopper.join();
  EXPECT_EQ(result.GetTitle(), "BM3D Filter(Terminated!)");
  EXPECT_LT(result.PercentDone.load(), 100);
  EXPECT_TRUE(SamePixels(*result.GetSurface(), *noisy.GetSurface()));
}

TEST(BM3DFilter, PackageOffersItUnderNonLocalFilters)
{
  MessageEnvironment env;
  cOperationPool pool;
  pool.LoadOperationsFromPackage(KV_PLUGIN_DIR + std::string("060pkNonLocal.so"));
  acOperation* op = FindOperation(pool, "BM3D Filter");
  ASSERT_NE(op, nullptr);
  EXPECT_EQ(op->GetGroupName(), "Non-local Filters");
  EXPECT_EQ(op->GetOperationType(), "otFilter");
  EXPECT_EQ(op->GetFormMode(), 1);
  cOperationParameter& sigma = Param(*op, "Sigma");
  double min = 0, max = 0;
  uint8_t precision = 0;
  sigma.GetBounds(min, max, precision);
  EXPECT_EQ(min, 1.0);
  EXPECT_EQ(max, 100.0);
  EXPECT_EQ(precision, 1);
  EXPECT_EQ(sigma.GetReal(), 25.0);
  EXPECT_EQ(Param(*op, "Profile").GetEnumStringCount(), 2);
  EXPECT_EQ(Param(*op, "Profile").GetEnumString(1), "Fast");
  EXPECT_EQ(op->GetShortInfoString(), "(S=25)");
}
