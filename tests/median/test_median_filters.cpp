#include <gtest/gtest.h>

#include <random>

#include "AdaptiveMedianFilter.h"
#include "FastMedianFilter.h"
#include "FilterChecks.h"
#include "FoolishDetectorMedianFilter.h"
#include "MedianReference.h"
#include "NASMFilter_New.h"
#include "PSMFilter.h"
#include "ParamSupport.h"
#include "cRegionChannel.h"

using namespace kvtest;
using kvtest::Pixel;

namespace {
// A flat picture of value `background` with the listed (x, y, value) samples set.
void Flat(cImage& image, int w, int h, uint8_t background, std::initializer_list<std::array<int, 3>> spots = {})
{
  kvtest::Fill(*image.GetSurface(), w, h, 1, [&](int, int, int) { return background; });
  for (auto& s : spots) image.GetSurface()->SetPixel(s[0], s[1], uint8_t(s[2]));
}
}  // namespace

// ---------------------------------------------------------------- Median Filter

TEST(MedianFilter, InteriorPathEqualsPlainFormulaOnRandomPictures)
{
  FastMedianFilter op;
  struct sCase {
    int w, h, channels, ww, wh;
  };
  const sCase cases[] = {{37, 23, 1, 3, 3}, {70, 9, 3, 3, 3},  {131, 17, 1, 5, 5}, {66, 12, 3, 5, 5},
                         {80, 20, 1, 7, 7}, {40, 30, 1, 2, 4}, {45, 14, 3, 4, 1},  {90, 31, 1, 11, 13},
                         {9, 40, 1, 27, 3}, {1, 17, 1, 3, 3},  {13, 1, 3, 5, 5},   {4, 3, 1, 9, 9},
                         {2, 2, 3, 27, 27}, {64, 5, 1, 1, 1}};
  uint32_t seed = 1;
  for (const sCase& k : cases)
    for (bool recursive : {false, true}) {
      cImage source;
      kvtest::FillRandom(*source.GetSurface(), k.w, k.h, k.channels, seed++);
      SetParam(op, "Width size", k.ww);
      SetParam(op, "Height size", k.wh);
      SetParam(op, "Recursive executing", recursive);
      auto result = kvtest::RunOperation(op, source);
      cBMPSurface expected;
      ReferenceMedian(*source.GetSurface(), expected, k.ww, k.wh, recursive);
      EXPECT_TRUE(kvtest::SamePixels(*result->GetSurface(), expected))
          << k.w << "x" << k.h << "x" << k.channels << " window " << k.ww << "x" << k.wh << " recursive " << recursive;
    }
}

TEST(MedianFilter, SizeOneCopiesAndSizeTwoLooksRight)
{
  FastMedianFilter op;
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 20, 6, 1, 3);
  SetParam(op, "Width size", 1);
  SetParam(op, "Height size", 1);
  EXPECT_TRUE(kvtest::LeavesUnchanged(op, source));
  // 2 x 1: the lower of the sample and its right neighbour.
  SetParam(op, "Width size", 2);
  auto result = kvtest::RunOperation(op, source);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x + 1 < 20; ++x)
      ASSERT_EQ(Pixel(*result->GetSurface(), x, y),
                std::min(Pixel(*source.GetSurface(), x, y), Pixel(*source.GetSurface(), x + 1, y)));
}

TEST(MedianFilter, RecursiveRunDiffersAndRegionRunLeavesOutsideAlone)
{
  FastMedianFilter op;
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 40, 30, 1, 5);
  SetParam(op, "Width size", 3);
  SetParam(op, "Height size", 3);
  SetParam(op, "Recursive executing", false);
  auto plain = kvtest::RunOperation(op, source);
  SetParam(op, "Recursive executing", true);
  auto recursive = kvtest::RunOperation(op, source);
  EXPECT_FALSE(kvtest::SamePixels(*plain->GetSurface(), *recursive->GetSurface()));

  SetParam(op, "Recursive executing", false);
  const sRect rect{5, 4, 30, 20};
  auto part = RunOperation(op, source, rect);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool inside = x >= rect.Left && x < rect.Right && y >= rect.Top && y < rect.Bottom;
      ASSERT_EQ(Pixel(*part->GetSurface(), x, y), Pixel(inside ? *plain->GetSurface() : *source.GetSurface(), x, y))
          << x << "," << y;
    }
}

// ---------------------------------------------------------------- Adaptive Median Filter

TEST(AdaptiveMedianFilter, SelectionRoutineIsNotAlwaysTheExactMedian)
{
  uint8_t values[] = {53, 189, 107, 172, 83, 38, 149, 24, 74};
  EXPECT_EQ(AdaptiveMedianFilter::SelectMiddle(values, 9), 107);
  uint8_t single[] = {9};
  EXPECT_EQ(AdaptiveMedianFilter::SelectMiddle(single, 1), 9);
  uint8_t sorted[] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(AdaptiveMedianFilter::SelectMiddle(sorted, 9), 5);
}

// Where the routine is exact, it must agree with a full sort: windows already in order either
// way, and windows of two values (an impulse among a flat area).
TEST(AdaptiveMedianFilter, SelectionRoutineAgreesWithASortOnOrderedAndTwoValuedWindows)
{
  std::mt19937 rng(17);
  for (unsigned n : {3u, 9u, 25u, 49u})
    for (int round = 0; round < 200; ++round) {
      std::vector<uint8_t> ascending(n), twoValued(n);
      for (uint8_t& v : ascending) v = uint8_t(rng());
      std::sort(ascending.begin(), ascending.end());
      std::vector<uint8_t> descending(ascending.rbegin(), ascending.rend());
      const uint8_t a = uint8_t(rng()), b = uint8_t(rng());
      for (uint8_t& v : twoValued) v = rng() % 2 ? a : b;
      for (std::vector<uint8_t> window : {ascending, descending, twoValued}) {
        const uint8_t expected = SortedMedian(window);
        EXPECT_EQ(AdaptiveMedianFilter::SelectMiddle(window.data(), n), expected) << n << " values, round " << round;
      }
    }
}

TEST(AdaptiveMedianFilter, SmallMaximumKeepsImageAndDefaultUsesOnlyThreeByThree)
{
  AdaptiveMedianFilter op;
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 15, 12, 1, 8);
  for (int maxSize : {1, 2}) {
    SetParam(op, "Max window size", maxSize);
    EXPECT_TRUE(kvtest::LeavesUnchanged(op, source)) << maxSize;
  }
  // A 3 x 3 block of 255 in a field of 50: with the default size every inner window is all
  // 255 or has its median at an extreme, so the block survives; size 5 sees the field and
  // restores it.
  cImage block;
  Flat(block, 12, 12, 50);
  for (int y = 4; y < 7; ++y)
    for (int x = 4; x < 7; ++x) block.GetSurface()->SetPixel(x, y, 255);
  SetParam(op, "Max window size", 3);
  EXPECT_EQ(Pixel(*kvtest::RunOperation(op, block)->GetSurface(), 5, 5), 255);
  // In a flat field the median of a larger window equals the field, an extreme, so test the
  // growth on a slightly varying field instead.
  SetParam(op, "Max window size", 5);
  cImage field;
  kvtest::Fill(*field.GetSurface(), 12, 12, 1, [](int x, int y, int) { return uint8_t(40 + (x + y) % 5); });
  for (int y = 4; y < 7; ++y)
    for (int x = 4; x < 7; ++x) field.GetSurface()->SetPixel(x, y, 255);
  auto restored = kvtest::RunOperation(op, field);
  const uint8_t centre = Pixel(*restored->GetSurface(), 5, 5);
  EXPECT_GE(centre, 40);
  EXPECT_LE(centre, 44);
}

TEST(AdaptiveMedianFilter, KeepsSampleThatIsNoExtreme)
{
  AdaptiveMedianFilter op;
  SetParam(op, "Max window size", 3);
  cImage source;
  kvtest::Fill(*source.GetSurface(), 9, 9, 1, [](int x, int y, int) { return uint8_t(10 * x + y); });
  source.GetSurface()->SetPixel(4, 4, 0);
  auto result = kvtest::RunOperation(op, source);
  // The smooth ramp is kept exactly; the dark impulse becomes its window's median.
  EXPECT_EQ(Pixel(*result->GetSurface(), 2, 6), 26);
  EXPECT_EQ(Pixel(*result->GetSurface(), 4, 4), 43);
}

// ---------------------------------------------------------------- Foolish Detector Median Filter

TEST(FoolishDetectorMedianFilter, TouchesOnlyExtremesAndFallsBackToTheLeft)
{
  FoolishDetectorMedianFilter op;
  SetParam(op, "Window size", 3);
  cImage random;
  kvtest::Fill(*random.GetSurface(), 20, 20, 1, [](int x, int y, int) { return uint8_t(1 + (x * 37 + y * 11) % 254); });
  EXPECT_TRUE(kvtest::LeavesUnchanged(op, random));

  cImage spot;
  Flat(spot, 10, 10, 90, {{{5, 5, 255}}});
  EXPECT_EQ(Pixel(*kvtest::RunOperation(op, spot)->GetSurface(), 5, 5), 90);

  // A 5 x 3 block of 0: the centre column's windows hold only impulses, so (5, 5) repeats
  // the value restored two columns to its left, which saw the field.
  cImage block;
  kvtest::Fill(*block.GetSurface(), 12, 12, 1, [](int x, int, int) { return uint8_t(100 + x); });
  for (int y = 4; y < 7; ++y)
    for (int x = 3; x < 8; ++x) block.GetSurface()->SetPixel(x, y, 0);
  auto result = kvtest::RunOperation(op, block);
  const uint8_t leftRestored = Pixel(*result->GetSurface(), 3, 5);
  EXPECT_EQ(leftRestored, 102);  // the three field samples of column 2
  EXPECT_EQ(Pixel(*result->GetSurface(), 5, 5), leftRestored);
}

// ---------------------------------------------------------------- PSM and APSM

TEST(PSMFilter, ThresholdZeroFlagsEverythingAndKeepsThePicture)
{
  PSMFilter op;
  SetParam(op, "Detector Treshold", 0);
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 25, 19, 1, 4);
  EXPECT_TRUE(kvtest::LeavesUnchanged(op, source));
}

TEST(PSMFilter, ThresholdTwoFiftyFiveFlagsOnlyFullSwings)
{
  PSMFilter op;
  SetParam(op, "Detector Treshold", 255);
  cImage source;
  Flat(source, 15, 15, 0, {{{3, 3, 255}}, {{10, 10, 254}}});
  auto result = kvtest::RunOperation(op, source);
  EXPECT_EQ(Pixel(*result->GetSurface(), 3, 3), 0);
  EXPECT_EQ(Pixel(*result->GetSurface(), 10, 10), 254);
}

TEST(PSMFilter, WindowsLargerThanTheRegionMirrorSafely)
{
  EXPECT_EQ(cRegionChannel::Mirror(-1, 5), 0);
  EXPECT_EQ(cRegionChannel::Mirror(-3, 5), 2);
  EXPECT_EQ(cRegionChannel::Mirror(5, 5), 4);
  EXPECT_EQ(cRegionChannel::Mirror(7, 5), 2);
  EXPECT_EQ(cRegionChannel::Mirror(-4, 2), 0);  // -4 -> 3 -> 0
  EXPECT_EQ(cRegionChannel::Mirror(13, 1), 0);
  PSMFilter op;
  SetParam(op, "Detector window size", 27);
  SetParam(op, "Filter window size", 27);
  cImage tiny;
  Flat(tiny, 2, 3, 60, {{{1, 1, 255}}});
  EXPECT_EQ(Pixel(*kvtest::RunOperation(op, tiny)->GetSurface(), 1, 1), 60);
}

TEST(APSMFilter, ConstantPictureStaysAndImpulseIsReplaced)
{
  NASMFilter_New op;
  cImage flat;
  Flat(flat, 16, 16, 128);
  EXPECT_TRUE(kvtest::LeavesUnchanged(op, flat));

  cImage ramp;
  kvtest::Fill(*ramp.GetSurface(), 16, 16, 1, [](int x, int y, int) { return uint8_t(50 + 3 * x + 2 * y); });
  ramp.GetSurface()->SetPixel(8, 8, 255);
  auto result = kvtest::RunOperation(op, ramp);
  // Every ramp sample at a window corner is its extreme too; only the impulse matters here.
  const int restored = Pixel(*result->GetSurface(), 8, 8);
  EXPECT_NEAR(restored, 50 + 24 + 16, 6);
}

// ---------------------------------------------------------------- the package as a whole

namespace {
struct sImpulseFilters {
  FastMedianFilter Median;
  AdaptiveMedianFilter Adaptive;
  FoolishDetectorMedianFilter Foolish;
  PSMFilter PSM;
  NASMFilter_New APSM;
  std::vector<acOperation*> All() { return {&Median, &Adaptive, &Foolish, &PSM, &APSM}; }
};
}  // namespace

TEST(MedianPackageFilters, RemoveImpulsesFromSamplePicture)
{
  cImage clean;
  ASSERT_TRUE(clean.LoadImage(KV_SAMPLES_DIR "camera.bmp"));
  cImage noisy;
  noisy.MakeCopyFrom(clean);
  AddImpulses(*noisy.GetSurface(), 0.15, 2024);
  const double before = PSNR(*noisy.GetSurface(), *clean.GetSurface());
  sImpulseFilters filters;
  SetParam(filters.Adaptive, "Max window size", 7);
  for (acOperation* op : filters.All()) {
    auto restored = kvtest::RunOperation(*op, noisy);
    const double after = PSNR(*restored->GetSurface(), *clean.GetSurface());
    EXPECT_GT(after, before + 10.0) << op->GetName() << ": " << before << " dB -> " << after << " dB";
  }
}

TEST(MedianPackageFilters, FilterColourChannelsIndependently)
{
  cImage colour;
  kvtest::FillRandom(*colour.GetSurface(), 23, 17, 3, 99);
  AddImpulses(*colour.GetSurface(), 0.2, 5);
  sImpulseFilters filters;
  SetParam(filters.Median, "Recursive executing", true);
  SetParam(filters.Adaptive, "Max window size", 5);
  for (acOperation* op : filters.All()) EXPECT_TRUE(ChannelsIndependent(*op, colour));
}

// ---------------------------------------------------------------- Foolish detector, mostly impulses

TEST(FoolishDetectorMedianFilter, RowFormEqualsReferenceWhereWindowsHoldOnlyImpulses)
{
  // Nine samples in ten impulses: many windows hold nothing else and repeat the result to
  // their left, also at the left edge, where the mirror points right; rows wide enough for
  // the vector path and narrow ones.
  struct sCase {
    int W, H, Channels;
  };
  const sCase cases[] = {{1, 1, 1}, {2, 5, 3}, {3, 4, 1}, {40, 7, 1}, {70, 5, 3}, {33, 3, 1}};
  FoolishDetectorMedianFilter op;
  uint32_t seed = 300;
  for (const sCase& k : cases)
    for (int size : {1, 2, 3, 4, 5})
      for (bool recursive : {false, true}) {
        cImage source;
        std::mt19937 rng(seed++);
        kvtest::Fill(*source.GetSurface(), k.W, k.H, k.Channels, [&](int, int, int) {
          const unsigned r = rng() % 10;
          return uint8_t(r < 9 ? (r % 2 ? 255 : 0) : 1 + rng() % 254);
        });
        SetParam(op, "Window size", size);
        SetParam(op, "Recursive executing", recursive);
        EXPECT_TRUE(kvtest::RowFormMatchesReference(op, source))
            << k.W << "x" << k.H << "x" << k.Channels << " size " << size << " recursive " << recursive;
      }
}
