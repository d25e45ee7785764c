#include <gtest/gtest.h>

#include <cmath>

#include "BilateralFilter.h"
#include "FilterChecks.h"
#include "ParamSupport.h"
#include "ROADFilter.h"
#include "SD_ROM2Filter.h"
#include "TrilateralFilter.h"
#include "kvRuntime/cWorkerPool.h"

using kvtest::At;
using kvtest::RunOperation;
using kvtest::SetParam;

namespace {

// A flat picture of value v with one impulse at (cx, cy).
void FlatWithImpulse(cImage& image, int w, int h, uint8_t v, int cx, int cy, uint8_t impulse)
{
  kvtest::Fill(*image.GetSurface(), w, h, 1, [&](int x, int y, int) { return x == cx && y == cy ? impulse : v; });
}

}  // namespace

TEST(LateralPackage, RegistersTheFourFiltersInOrder)
{
  const std::vector<std::string> expected{"Bilateral", "Trilateral", "ROAD filter", "SD-ROM"};
  EXPECT_EQ(kvtest::PackageOperationNames("099pkLateral.so"), expected);
}

TEST(LateralPackage, DeclaresParametersInOrderWithDefaults)
{
  TrilateralFilter tri;
  ASSERT_EQ(tri.GetParams()->GetParamsCount(), 6);
  EXPECT_EQ(tri.GetParams()->GetParam(4)->GetName(), "Fuzzy switcher parameter");
  EXPECT_DOUBLE_EQ(kvtest::Param(tri, "Radiometric parameter").GetReal(), 40.0);
  EXPECT_EQ(tri.GetGroupName(), "Lateral Filters");
  SD_ROM2Filter sdrom;
  ASSERT_EQ(sdrom.GetParams()->GetParamsCount(), 5);
  EXPECT_EQ(kvtest::Param(sdrom, "T4").GetInteger(), 50);
  EXPECT_EQ(sdrom.GetGroupName(), "Misc Filters");
  ROADFilter road;
  EXPECT_EQ(road.GetParams()->GetParam(2)->GetName(), "Impulse parameter");
  EXPECT_EQ(road.GetFormMode(), 1);
}

TEST(WeightedFilters, WindowSizeOneReturnsEverySample)
{
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 9, 7, 3, 3);
  BilateralFilter bi;
  TrilateralFilter tri;
  ROADFilter road;
  for (acOperation* op : std::initializer_list<acOperation*>{&bi, &tri, &road}) {
    SetParam(*op, "Window size", 1);
    auto result = RunOperation(*op, source);
    EXPECT_TRUE(kvtest::SamePixels(*result->GetSurface(), *source.GetSurface())) << op->GetName();
  }
}

TEST(WeightedFilters, FlatAreasStayExactlyUnchanged)
{
  // The weighted sum over the sum of weights of a flat window is v only up to rounding; it
  // must not come out as v - 1.
  BilateralFilter bi;
  TrilateralFilter tri;
  ROADFilter road;
  for (int v : {1, 3, 77, 128, 201, 255})
    for (int size : {2, 3, 5, 8}) {
      cImage flat;
      kvtest::Fill(*flat.GetSurface(), 10, 9, 1, [&](int, int, int) { return uint8_t(v); });
      for (acOperation* op : std::initializer_list<acOperation*>{&bi, &tri, &road}) {
        SetParam(*op, "Window size", size);
        auto result = RunOperation(*op, flat);
        EXPECT_TRUE(kvtest::SamePixels(*result->GetSurface(), *flat.GetSurface()))
            << op->GetName() << " v=" << v << " size=" << size;
      }
    }
}

TEST(WeightedFilters, ChannelsAreFilteredIndependently)
{
  BilateralFilter bi;
  TrilateralFilter tri;
  ROADFilter road;
  SD_ROM2Filter sdrom;
  kvtest::ExpectChannelsIndependent(bi);
  kvtest::ExpectChannelsIndependent(tri);
  kvtest::ExpectChannelsIndependent(road);
  kvtest::ExpectChannelsIndependent(sdrom);
}

TEST(Bilateral, DirectNeighboursCarryFullSpatialWeightWhateverSigmaS)
{
  // Centre 0, direct neighbours 10, diagonals 200. With Sigma S 0.1 the diagonals (D = 2,
  // exponent -2) weigh exp(-200), while D = 1 keeps exponent 0 and full weight; the range
  // weight of 10 is exp(-0.02). Result: floor(40 w / (1 + 4 w)) = 7 for w = exp(-0.02).
  cImage source;
  kvtest::Rows(*source.GetSurface(), {{200, 10, 200}, {10, 0, 10}, {200, 10, 200}});
  BilateralFilter bi;
  SetParam(bi, "Sigma S", 0.1);
  SetParam(bi, "Sigma R", 50.0);
  auto result = RunOperation(bi, source);
  EXPECT_EQ(At(*result, 1, 1), 7);
}

TEST(Bilateral, RecursiveFlagReadsAlreadyFilteredSamples)
{
  // A step: with recursion the smoothed values left of a pixel feed into its window.
  cImage source;
  kvtest::Fill(*source.GetSurface(), 12, 1, 1, [](int x, int, int) { return uint8_t(x < 6 ? 0 : 100); });
  BilateralFilter bi;
  SetParam(bi, "Sigma R", 50.0);
  auto plain = RunOperation(bi, source);
  SetParam(bi, "Recursive executing", true);
  auto recursive = RunOperation(bi, source);
  EXPECT_FALSE(kvtest::SamePixels(*plain->GetSurface(), *recursive->GetSurface()));
  // The first pixel of the step sees the same window either way except for its left sample.
  EXPECT_EQ(At(*plain, 0, 0), At(*recursive, 0, 0));
}

TEST(Bilateral, ZeroSigmasCompleteWithTheLimitingWeights)
{
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 11, 8, 1, 21);
  BilateralFilter bi;
  // Sigma R 0: only equal values share a weight, so every sample keeps its value.
  SetParam(bi, "Sigma R", 0.0);
  auto sameValuesOnly = RunOperation(bi, source);
  EXPECT_TRUE(kvtest::SamePixels(*sameValuesOnly->GetSurface(), *source.GetSurface()));
  // Sigma S 0: the centre and its four direct neighbours (exponent 0) keep full weight.
  cImage cross;
  kvtest::Rows(*cross.GetSurface(), {{250, 30, 250}, {30, 30, 30}, {250, 30, 250}});
  SetParam(bi, "Sigma R", 50.0);
  SetParam(bi, "Sigma S", 0.0);
  EXPECT_EQ(At(*RunOperation(bi, cross), 1, 1), 30);
}

TEST(ImpulseWeighting, LoneImpulseIsSuppressedByROADAndTrilateral)
{
  cImage source;
  FlatWithImpulse(source, 9, 9, 100, 4, 4, 255);
  TrilateralFilter tri;
  ROADFilter road;
  BilateralFilter bi;
  for (acOperation* op : std::initializer_list<acOperation*>{&tri, &road}) {
    auto result = RunOperation(*op, source);
    EXPECT_NEAR(At(*result, 4, 4), 100, 2) << op->GetName();
    // The impulse barely counts in its neighbours' means.
    EXPECT_NEAR(At(*result, 3, 4), 100, 2) << op->GetName();
    EXPECT_EQ(At(*result, 0, 0), 100) << op->GetName();
  }
  // The bilateral filter's range weight protects the impulse instead.
  EXPECT_GT(At(*RunOperation(bi, source), 4, 4), 250);
}

TEST(ImpulseWeighting, SmoothAreaMakesTrilateralBehaveAsGaussianBilateral)
{
  // On a gentle ramp R is small, J near 0, and the result is the spatially weighted mean,
  // which on a linear ramp is the centre value.
  cImage ramp;
  kvtest::Fill(*ramp.GetSurface(), 15, 15, 1, [](int x, int, int) { return uint8_t(50 + x); });
  TrilateralFilter tri;
  auto result = RunOperation(tri, ramp);
  for (int x = 2; x < 13; ++x) EXPECT_NEAR(At(*result, x, 7), 50 + x, 1) << x;
}

TEST(ImpulseWeighting, ZeroSigmasCompleteWithDefinedResults)
{
  cImage source;
  FlatWithImpulse(source, 7, 7, 60, 3, 3, 0);
  ROADFilter road;
  // Spatial 0: only the centre has weight, the picture is returned as it is.
  SetParam(road, "Spatial parameter", 0.0);
  EXPECT_TRUE(kvtest::SamePixels(*RunOperation(road, source)->GetSurface(), *source.GetSurface()));
  // Impulse 0: only samples with R = 0 count; the impulse has R > 0 and is replaced.
  SetParam(road, "Spatial parameter", 5.0);
  SetParam(road, "Impulse parameter", 0.0);
  EXPECT_EQ(At(*RunOperation(road, source), 3, 3), 60);

  TrilateralFilter tri;
  for (const char* sigma :
       {"Spatial parameter", "Radiometric parameter", "Impulse parameter", "Fuzzy switcher parameter"}) {
    SetParam(tri, sigma, 0.0);
    auto result = RunOperation(tri, source);
    EXPECT_EQ(At(*result, 0, 0), 60) << sigma;
  }
  // Everything 0: the impulse's own weight is wR^(1-J) * wS * wI^J = 1 * 1 * 0 and the
  // neighbours have wS = 0; with no weight left the sample keeps its value.
  EXPECT_EQ(At(*RunOperation(tri, source), 3, 3), 0);
}

TEST(ImpulseWeighting, VanishingWeightsKeepTheSample)
{
  // Tiny sigmas on pure noise make every weight underflow to 0: no 0/0, the sample stays.
  cImage noise;
  // Four levels on a 2 x 2 tiling: every sample differs from each of its eight neighbours.
  kvtest::Fill(*noise.GetSurface(), 8, 8, 1, [](int x, int y, int) { return uint8_t(85 * (x % 2 + 2 * (y % 2))); });
  ROADFilter road;
  SetParam(road, "Spatial parameter", 0.1);
  SetParam(road, "Impulse parameter", 0.1);
  EXPECT_TRUE(kvtest::SamePixels(*RunOperation(road, noise)->GetSurface(), *noise.GetSurface()));
}

TEST(SDROM, ZeroFirstThresholdReplacesStrictExtremesOnly)
{
  SD_ROM2Filter f;
  SetParam(f, "T1", 0);
  for (const char* t : {"T2", "T3", "T4"}) SetParam(f, t, 100);
  cImage below, equal, above;
  kvtest::Rows(*below.GetSurface(), {{60, 61, 62}, {63, 50, 64}, {65, 66, 67}});
  kvtest::Rows(*equal.GetSurface(), {{60, 61, 62}, {63, 60, 64}, {65, 66, 67}});
  kvtest::Rows(*above.GetSurface(), {{60, 61, 62}, {63, 90, 64}, {65, 66, 67}});
  // ROM = (63 + 64) div 2 of the sorted ring 60..67.
  EXPECT_EQ(At(*RunOperation(f, below), 1, 1), 63);
  EXPECT_EQ(At(*RunOperation(f, equal), 1, 1), 60);
  EXPECT_EQ(At(*RunOperation(f, above), 1, 1), 63);
}

TEST(SDROM, ThresholdsOfHundredNeedADifferenceAboveHundred)
{
  SD_ROM2Filter f;
  for (const char* t : {"T1", "T2", "T3", "T4"}) SetParam(f, t, 100);
  cImage exactly, beyond;
  kvtest::Fill(*exactly.GetSurface(), 3, 3, 1, [](int x, int y, int) { return uint8_t(x == 1 && y == 1 ? 100 : 200); });
  kvtest::Fill(*beyond.GetSurface(), 3, 3, 1, [](int x, int y, int) { return uint8_t(x == 1 && y == 1 ? 99 : 200); });
  EXPECT_EQ(At(*RunOperation(f, exactly), 1, 1), 100);
  EXPECT_EQ(At(*RunOperation(f, beyond), 1, 1), 200);
}

TEST(SDROM, LaterRanksUseTheirOwnThresholds)
{
  // Centre 100 above a ring with two high samples (180, 190) and six near 100: d1 = 100 - 190
  // and d2 = 100 - 180 are negative, so only the later differences can trigger.
  cImage source;
  kvtest::Rows(*source.GetSurface(), {{180, 90, 91}, {92, 100, 93}, {94, 95, 190}});
  SD_ROM2Filter f;
  auto keep = RunOperation(f, source);
  EXPECT_EQ(At(*keep, 1, 1), 100);
  // Centre 140: rank differences c - r8 = -50, c - r7 = -40, c - r6 = 45, c - r5 = 46 with
  // T3 = 40 exceeded: replaced by ROM = (93 + 94) div 2.
  kvtest::Rows(*source.GetSurface(), {{180, 90, 91}, {92, 140, 93}, {94, 95, 190}});
  EXPECT_EQ(At(*RunOperation(f, source), 1, 1), 93);
  // T3 = 45 is not exceeded (45 > 45 fails) and neither is T4 = 50 by 46: kept.
  SetParam(f, "T3", 45);
  EXPECT_EQ(At(*RunOperation(f, source), 1, 1), 140);
  SetParam(f, "T4", 45);
  EXPECT_EQ(At(*RunOperation(f, source), 1, 1), 93);
}

TEST(LateralFastPaths, EqualThePlainFormula)
{
  BilateralFilter bi;
  TrilateralFilter tri;
  ROADFilter road;
  SD_ROM2Filter sdrom;
  for (int size : {1, 2, 3, 4, 7, 27})
    for (bool recursive : {false, true}) {
      const std::string label = "size " + std::to_string(size) + (recursive ? " recursive" : "");
      SetParam(bi, "Window size", size);
      SetParam(bi, "Recursive executing", recursive);
      SetParam(tri, "Window size", size);
      SetParam(tri, "Recursive executing", recursive);
      SetParam(road, "Window size", size);
      SetParam(road, "Recursive executing", recursive);
      kvtest::ExpectFastEqualsPlain(bi, "Bilateral " + label);
      // A window far larger than every probe picture adds nothing new for the R-weighted pair.
      if (size == 27) continue;
      kvtest::ExpectFastEqualsPlain(tri, "Trilateral " + label);
      kvtest::ExpectFastEqualsPlain(road, "ROAD " + label);
    }
  SetParam(tri, "Window size", 5);
  SetParam(tri, "Fuzzy switcher parameter", 3.5);
  SetParam(tri, "Impulse parameter", 12.5);
  kvtest::ExpectFastEqualsPlain(tri, "Trilateral small sigmas");
  for (bool recursive : {false, true}) {
    SetParam(sdrom, "Recursive executing", recursive);
    kvtest::ExpectFastEqualsPlain(sdrom, recursive ? "SD-ROM recursive" : "SD-ROM");
  }
  // Low thresholds, so that every rank difference decides somewhere, and one of each at 0.
  const int thresholds[][4] = {{0, 1, 2, 3}, {3, 0, 9, 1}, {100, 100, 0, 100}, {100, 100, 100, 0}};
  for (const auto& t : thresholds) {
    const char* names[] = {"T1", "T2", "T3", "T4"};
    std::string label = "SD-ROM thresholds";
    for (int i = 0; i < 4; ++i) {
      SetParam(sdrom, names[i], t[i]);
      label += ' ';
      label += std::to_string(t[i]);
    }
    kvtest::ExpectFastEqualsPlain(sdrom, label);
  }
}

// Pictures large enough that the trilateral filter tables its powers by the statistics the run
// meets: the tabled products must be Combine's, also where the switch is exactly 0 or 1.
TEST(LateralRowForms, TrilateralTabledPowersEqualThePerSampleReference)
{
  cImage picture;
  kvtest::Fill(*picture.GetSurface(), 160, 96, 3, [](int x, int y, int c) {
    if ((x * 7 + y * 13 + c * 5) % 37 == 0) return uint8_t((x + c) % 2 ? 0 : 255);
    return uint8_t(30 + (x + 2 * y) / 3 + 20 * c);
  });
  TrilateralFilter tri;
  struct sCase {
    int Size;
    double Switch, Impulse;
  };
  for (const sCase& k : {sCase{3, 50, 50}, sCase{3, 0.5, 12.5}, sCase{4, 100, 5}, sCase{2, 0, 50}}) {
    SetParam(tri, "Window size", k.Size);
    SetParam(tri, "Fuzzy switcher parameter", k.Switch);
    SetParam(tri, "Impulse parameter", k.Impulse);
    EXPECT_TRUE(kvtest::RowFormMatchesReference(tri, picture))
        << "size " << k.Size << " switch " << k.Switch << " impulse " << k.Impulse;
  }
}

// The statistic rows kept between the rows of a run belong to that run: a picture changed in
// place between two runs (same rows, same addresses) must be read afresh.
TEST(LateralRowForms, TrilateralReadsAPictureChangedInPlaceAfresh)
{
  const unsigned threads = kvGetThreadCount();
  kvSetThreadCount(1);  // both runs on this thread, where the rows are kept
  cImage picture;
  kvtest::FillRandom(*picture.GetSurface(), 90, 3, 1, 17);  // few rows: all kept
  TrilateralFilter tri;
  SetParam(tri, "Window size", 3);
  RunOperation(tri, picture);
  cBMPSurface& s = *picture.GetSurface();
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x) s.Row(y)[x] = uint8_t(s.Row(y)[x] / 3);
  auto rows = RunOperation(tri, picture);
  EXPECT_TRUE(tri.RanByRows());
  tri.SetPixelReference(true);
  auto plain = RunOperation(tri, picture);
  tri.SetPixelReference(false);
  kvSetThreadCount(threads);
  EXPECT_TRUE(kvtest::SamePixels(*plain->GetSurface(), *rows->GetSurface()));
}
