#include <gtest/gtest.h>

#include <cmath>

#include "FilterChecks.h"
#include "FoolishSmartMedianFilter.h"
#include "LeeFilter.h"
#include "MedianReference.h"
#include "ParamSupport.h"
#include "WienerFilter.h"

using namespace kvtest;
using kvtest::Pixel;

namespace {
// Local mean of the W x W window around (x, y), mirrored by the picture's own border rule.
double LocalMean(cBMPSurface& s, int x, int y, int w, int c = 0)
{
  s.CurrentChannel = c;
  double sum = 0;
  for (int dx = Low(w); dx <= High(w); ++dx)
    for (int dy = Low(w); dy <= High(w); ++dy) sum += s.GetPixel(x + dx, y + dy);
  return sum / (w * w);
}
}  // namespace

// ---------------------------------------------------------------- Wiener Filter

TEST(WienerFilter, LargeNoiseVarianceGivesTheLocalMean)
{
  WienerFilter op;
  SetParam(op, "Noise variance", 500.0);
  for (int w : {3, 4, 5, 27}) {
    SetParam(op, "Window size", w);
    cImage source;
    std::mt19937 rng{unsigned(w)};
    // Values within 0..40 keep every local variance below 500.
    kvtest::Fill(*source.GetSurface(), 19, 13, 1, [&](int, int, int) { return uint8_t(100 + rng() % 41); });
    auto result = kvtest::RunOperation(op, source);
    for (int y = 0; y < 13; ++y)
      for (int x = 0; x < 19; ++x)
        ASSERT_EQ(Pixel(*result->GetSurface(), x, y), int(LocalMean(*source.GetSurface(), x, y, w)))
            << "window " << w << " at " << x << "," << y;
  }
}

TEST(WienerFilter, FlatPicturesKeepTheirValueExactly)
{
  // Summing value / N window by window in floating point drifts just below the value
  // (10 -> 9.999...), which truncation would turn into value - 1.
  WienerFilter op;
  for (double noise : {0.0, 10.0}) {
    SetParam(op, "Noise variance", noise);
    for (int w : {3, 5, 7}) {
      SetParam(op, "Window size", w);
      for (int v = 0; v < 256; v += 5) {
        cImage flat;
        kvtest::Fill(*flat.GetSurface(), 8, 8, 1, [&](int, int, int) { return uint8_t(v); });
        auto result = kvtest::RunOperation(op, flat);
        ASSERT_TRUE(kvtest::SamePixels(*result->GetSurface(), *flat.GetSurface()))
            << "value " << v << " window " << w << " noise " << noise;
      }
    }
  }
}

TEST(WienerFilter, ZeroNoiseVarianceReturnsTheInput)
{
  WienerFilter op;
  SetParam(op, "Noise variance", 0.0);
  SetParam(op, "Window size", 3);
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 40, 40, 3, 17);
  EXPECT_TRUE(kvtest::LeavesUnchanged(op, source));
}

TEST(WienerFilter, RegionWindowsReadTheWholePictureAndColoursStaySeparate)
{
  WienerFilter op;
  SetParam(op, "Window size", 5);
  SetParam(op, "Noise variance", 40.0);
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 30, 20, 3, 23);
  auto whole = kvtest::RunOperation(op, source);
  const sRect rect{4, 3, 17, 15};
  auto part = RunOperation(op, source, rect);
  for (int c = 0; c < 3; ++c)
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x) {
        const bool inside = x >= rect.Left && x < rect.Right && y >= rect.Top && y < rect.Bottom;
        ASSERT_EQ(Pixel(*part->GetSurface(), x, y, c),
                  Pixel(inside ? *whole->GetSurface() : *source.GetSurface(), x, y, c));
      }
  EXPECT_TRUE(ChannelsIndependent(op, source));
  // A window far larger than the picture still folds into it.
  SetParam(op, "Window size", 27);
  cImage tiny;
  kvtest::Fill(*tiny.GetSurface(), 3, 2, 1, [](int x, int y, int) { return uint8_t(100 + 7 * x + 13 * y); });
  SetParam(op, "Noise variance", 500.0);
  auto result = kvtest::RunOperation(op, tiny);
  EXPECT_EQ(Pixel(*result->GetSurface(), 1, 1), int(LocalMean(*tiny.GetSurface(), 1, 1, 27)));
}

// ---------------------------------------------------------------- Lee Filter

TEST(LeeFilter, NoiseEstimateAveragesBlockSpreads)
{
  // Checkerboard of 0 and 2, 3 x 3 blocks at corners 0, 3, 6: a block centred on a 0 has mean
  // 1 (rounded up) and spread 9 div 8 = 1, one centred on a 2 has mean 2 and spread 16 div 8 = 2;
  // five of the nine corners are of the first kind.
  LeeFilter op;
  SetParam(op, "Window size", 3);
  cImage source;
  kvtest::Fill(*source.GetSurface(), 9, 9, 1, [](int x, int y, int) { return uint8_t((x + y) % 2 * 2); });
  kvtest::RunOperation(op, source);
  EXPECT_DOUBLE_EQ(op.GetNoiseVariance(), 13.0 / 9.0);
  // In colour the estimate is the mean over the channels.
  cImage colour;
  kvtest::Fill(*colour.GetSurface(), 9, 9, 3,
               [](int x, int y, int c) { return uint8_t(c == 1 ? (x + y) % 2 * 2 : 60); });
  kvtest::RunOperation(op, colour);
  EXPECT_DOUBLE_EQ(op.GetNoiseVariance(), 13.0 / 27.0);
}

TEST(LeeFilter, FlatAreasKeepTheirValueAndOutliersInBusyWindowsStay)
{
  LeeFilter op;
  for (int w : {1, 2, 4, 7}) {
    SetParam(op, "Window size", w);
    cImage flat;
    kvtest::Fill(*flat.GetSurface(), 20, 20, 1, [](int, int, int) { return uint8_t(100); });
    EXPECT_TRUE(kvtest::LeavesUnchanged(op, flat)) << "window " << w;
  }
  SetParam(op, "Window size", 7);
  cImage spot;
  kvtest::Fill(*spot.GetSurface(), 40, 40, 1, [](int, int, int) { return uint8_t(50); });
  spot.GetSurface()->SetPixel(10, 10, 200);
  auto result = kvtest::RunOperation(op, spot);
  EXPECT_EQ(Pixel(*result->GetSurface(), 10, 10), 200);
  EXPECT_EQ(Pixel(*result->GetSurface(), 11, 10), 50);
  EXPECT_EQ(Pixel(*result->GetSurface(), 30, 30), 50);
}

TEST(LeeFilter, SingleSampleWindowCopiesAndQuietWindowsTakeTheirMean)
{
  LeeFilter op;
  SetParam(op, "Window size", 1);
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 16, 16, 3, 31);
  EXPECT_TRUE(kvtest::LeavesUnchanged(op, source));
  // A gentle ramp in a noisy picture: its windows vary less than the noise, so the ramp's
  // samples become their window means (rounded up).
  SetParam(op, "Window size", 3);
  cImage mixed;
  std::mt19937 rng(3);
  kvtest::Fill(*mixed.GetSurface(), 30, 30, 1,
               [&](int x, int y, int) { return uint8_t(y < 15 ? rng() % 256 : 100 + (x % 2)); });
  auto result = kvtest::RunOperation(op, mixed);
  EXPECT_EQ(Pixel(*result->GetSurface(), 10, 25), int(std::ceil(LocalMean(*mixed.GetSurface(), 10, 25, 3))));
}

// ---------------------------------------------------------------- Foolish detector-Smart filter

TEST(SmartDetectorFilter, LeavesOrdinarySamplesAlone)
{
  FoolishSmartMedianFilter op;
  cImage source;
  kvtest::Fill(*source.GetSurface(), 20, 20, 3,
               [](int x, int y, int c) { return uint8_t(1 + (x * 31 + y * 7 + c) % 254); });
  EXPECT_TRUE(kvtest::LeavesUnchanged(op, source));
}

TEST(SmartDetectorFilter, ThresholdDecidesHowFarTheWindowGrows)
{
  // An impulse ringed by 10s inside a field of 200: the 3 x 3 window sees only 10s, the
  // 7 x 7 window mostly 200s.
  cImage source;
  kvtest::Fill(*source.GetSurface(), 21, 21, 1,
               [](int x, int y, int) { return uint8_t(std::abs(x - 10) <= 1 && std::abs(y - 10) <= 1 ? 10 : 200); });
  source.GetSurface()->SetPixel(10, 10, 255);
  FoolishSmartMedianFilter op;
  SetParam(op, "Threshold", 0.0);  // never satisfied: grows to the maximum
  EXPECT_EQ(Pixel(*kvtest::RunOperation(op, source)->GetSurface(), 10, 10), 200);
  SetParam(op, "Threshold", 1.0);  // satisfied at once
  EXPECT_EQ(Pixel(*kvtest::RunOperation(op, source)->GetSurface(), 10, 10), 10);
  // A starting window larger than the maximum is used as it is.
  SetParam(op, "Window size", 9);
  SetParam(op, "Max window size", 3);
  EXPECT_EQ(Pixel(*kvtest::RunOperation(op, source)->GetSurface(), 10, 10), 200);
}

TEST(SmartDetectorFilter, AllImpulseWindowsRepeatTheValueToTheLeft)
{
  cImage source;
  kvtest::Fill(*source.GetSurface(), 30, 9, 1, [](int x, int, int) { return uint8_t(x < 10 ? 70 : 0); });
  FoolishSmartMedianFilter op;
  SetParam(op, "Window size", 3);
  SetParam(op, "Max window size", 3);
  SetParam(op, "Threshold", 0.5);
  auto result = kvtest::RunOperation(op, source);
  // Column 10 still sees column 9; every later column repeats what was restored before it.
  for (int x = 10; x < 30; ++x) ASSERT_EQ(Pixel(*result->GetSurface(), x, 4), 70) << x;
}

TEST(SmartDetectorFilter, RemovesImpulsesAndKeepsColoursApart)
{
  cImage clean;
  ASSERT_TRUE(clean.LoadImage(KV_SAMPLES_DIR "camera.bmp"));
  cImage noisy;
  noisy.MakeCopyFrom(clean);
  AddImpulses(*noisy.GetSurface(), 0.3, 77);
  FoolishSmartMedianFilter op;
  auto restored = kvtest::RunOperation(op, noisy);
  EXPECT_GT(PSNR(*restored->GetSurface(), *clean.GetSurface()), PSNR(*noisy.GetSurface(), *clean.GetSurface()) + 15.0);
  cImage colour;
  kvtest::FillRandom(*colour.GetSurface(), 20, 14, 3, 8);
  AddImpulses(*colour.GetSurface(), 0.4, 9);
  SetParam(op, "Recursive executing", true);
  EXPECT_TRUE(ChannelsIndependent(op, colour));
}

TEST(SmartDetectorFilter, RowFormEqualsReferenceOnMostlyImpulsePictures)
{
  // Shares of impulses around the thresholds, so windows stop at 3 x 3, grow, or hold nothing
  // but impulses and repeat the result to their left (at the left edge the mirror points
  // right); rows wide enough for the vector path and narrow ones.
  struct sCase {
    int W, H, Channels, Share;  // impulses in tenths
  };
  const sCase cases[] = {{1, 1, 1, 9}, {2, 5, 3, 9}, {40, 7, 1, 9}, {70, 5, 3, 5}, {33, 9, 1, 7}, {45, 6, 3, 3}};
  FoolishSmartMedianFilter op;
  uint32_t seed = 500;
  for (const sCase& k : cases)
    for (const auto& [size, maxSize] : {std::pair{3, 3}, {3, 7}, {2, 5}, {5, 3}})
      for (double threshold : {0.0, 0.3, 0.5, 1.0})
        for (bool recursive : {false, true}) {
          cImage source;
          std::mt19937 rng(seed++);
          kvtest::Fill(*source.GetSurface(), k.W, k.H, k.Channels, [&](int, int, int) {
            return uint8_t(int(rng() % 10) < k.Share ? (rng() % 2 ? 255 : 0) : 1 + rng() % 254);
          });
          SetParam(op, "Window size", size);
          SetParam(op, "Max window size", maxSize);
          SetParam(op, "Threshold", threshold);
          SetParam(op, "Recursive executing", recursive);
          EXPECT_TRUE(kvtest::RowFormMatchesReference(op, source))
              << k.W << "x" << k.H << "x" << k.Channels << " sizes " << size << "-" << maxSize << " threshold "
              << threshold << " recursive " << recursive;
        }
}
