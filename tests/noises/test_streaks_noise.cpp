#include <gtest/gtest.h>

#include <cmath>

#include "NoiseTestSupport.h"
#include "UniformStringNoise.h"

using namespace noisetest;

namespace {

class StreaksNoise : public ::testing::Test {
protected:
  void TearDown() override { cRandomGenerator::ClearSeed(); }
};

void SetType(UniformStringNoise& op, int type)
{
  kvtest::SetParam(op, "Noise type", type);
}

// The documented streaks: one decision per line of the region, then one uniform draw per
// sample of a hit line, channels innermost.
void ReplayStreaks(cBMPSurface& expected, cBMPSurface& source, const sRect& r, double p, bool horizontal)
{
  expected.MakeCopyFrom(source);
  const int lines = horizontal ? r.Bottom - r.Top : r.Right - r.Left;
  const int length = horizontal ? r.Right - r.Left : r.Bottom - r.Top;
  for (int line = 0; line < lines; ++line) {
    if (!(Random(100) * 0.01 < p)) continue;
    for (int i = 0; i < length; ++i)
      for (int c = 0; c < source.GetChannelsCount(); ++c) {
        expected.CurrentChannel = c;
        const int x = horizontal ? r.Left + i : r.Left + line;
        const int y = horizontal ? r.Top + line : r.Top + i;
        expected.SetPixel(x, y, uint8_t(Random(256)));
      }
  }
}

// Whether every sample of row y (or column x) differs from the flat source value v in at
// least one channel is not guaranteed; count lines with any change instead.
int ChangedLines(cBMPSurface& s, uint8_t v, bool horizontal)
{
  int changed = 0;
  const int lines = horizontal ? s.GetHeight() : s.GetWidth();
  const int length = horizontal ? s.GetWidth() : s.GetHeight();
  for (int line = 0; line < lines; ++line) {
    bool any = false;
    for (int i = 0; i < length && !any; ++i)
      for (int c = 0; c < s.GetChannelsCount(); ++c)
        any |= kvtest::Pixel(s, horizontal ? i : line, horizontal ? line : i, c) != v;
    changed += any;
  }
  return changed;
}

}  // namespace

TEST_F(StreaksNoise, ReplacesWholeLinesOfTheRegionInTheDocumentedOrder)
{
  UniformStringNoise op;
  kvtest::SetParam(op, "Probability", 0.3);
  for (int channels : {1, 3})
    for (int type : {0, 1}) {
      SetType(op, type);
      cImage source;
      kvtest::FillRandom(*source.GetSurface(), 61, 47, channels, 14);
      for (const sRect& region : {sRect{0, 0, 61, 47}, sRect{5, 7, 40, 30}, sRect{50, 40, 65, 52}}) {
        cRandomGenerator::SetSeed(99);
        auto result = kvtest::RunOperation(op, source, region);
        cRandomGenerator::SetSeed(99);
        cBMPSurface expected;
        ReplayStreaks(expected, *source.GetSurface(), ClippedTo(region, *source.GetSurface()), 0.3, type == 0);
        EXPECT_TRUE(kvtest::SamePixels(*result->GetSurface(), expected))
            << channels << " channels, type " << type << ", region " << region.Left << "," << region.Top;
      }
    }
}

TEST_F(StreaksNoise, ProbabilityDecidesTheShareOfLines)
{
  UniformStringNoise op;
  cImage source;
  Flat(source, 3, 20000, 3, 40);
  kvtest::SetParam(op, "Probability", 0.0);
  EXPECT_TRUE(kvtest::LeavesUnchanged(op, source));
  kvtest::SetParam(op, "Probability", 1.0);
  EXPECT_EQ(ChangedLines(*kvtest::RunOperation(op, source)->GetSurface(), 40, true), 20000);
  // A hit row of 9 samples keeps all of them at 40 with probability 256^-9: negligible.
  kvtest::SetParam(op, "Probability", 0.3);
  const int hit = ChangedLines(*kvtest::RunOperation(op, source)->GetSurface(), 40, true);
  EXPECT_NEAR(hit / 20000.0, 0.3, 6 * std::sqrt(0.3 * 0.7 / 20000));

  cImage wide;
  Flat(wide, 20000, 3, 1, 40);
  SetType(op, 1);
  kvtest::SetParam(op, "Probability", 1.0);
  EXPECT_EQ(ChangedLines(*kvtest::RunOperation(op, wide)->GetSurface(), 40, false), 20000);
}

TEST_F(StreaksNoise, HitLinesCarryIndependentUniformValuesPerChannel)
{
  UniformStringNoise op;
  kvtest::SetParam(op, "Probability", 1.0);
  cImage source;
  Flat(source, 512, 500, 3, 0);
  auto result = kvtest::RunOperation(op, source);
  long sameChannels = 0;
  double sum = 0;
  for (int y = 0; y < 500; ++y)
    for (int x = 0; x < 512; ++x) {
      const int b = kvtest::Pixel(*result->GetSurface(), x, y, 0);
      sameChannels += b == kvtest::Pixel(*result->GetSurface(), x, y, 2);
      sum += b;
    }
  // Two independent uniform bytes agree with probability 1/256.
  EXPECT_NEAR(sameChannels / 256000.0, 1.0 / 256, 6 * std::sqrt(1.0 / 256 * 255 / 256 / 256000));
  // Mean of a uniform byte 127.5, sd 73.9 / sqrt(256000) = 0.146.
  EXPECT_NEAR(sum / 256000.0, 127.5, 6 * 0.146);
}

TEST_F(StreaksNoise, DoesNotReseedSoTheSameStateGivesTheSamePattern)
{
  UniformStringNoise op;
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 80, 60, 1, 15);
  cRandomGenerator::SetSeed(3);
  auto first = kvtest::RunOperation(op, source);
  auto second = kvtest::RunOperation(op, source);
  cRandomGenerator::SetSeed(3);
  auto again = kvtest::RunOperation(op, source);
  EXPECT_TRUE(kvtest::SamePixels(*first->GetSurface(), *again->GetSurface()));
  EXPECT_FALSE(kvtest::SamePixels(*first->GetSurface(), *second->GetSurface()));
}

TEST_F(StreaksNoise, StopsWhenTerminated)
{
  UniformStringNoise op;
  kvtest::SetParam(op, "Probability", 1.0);
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 40, 30, 3, 16);
  cImage result;
  op.SetInterfaces(&source, &result);
  tTerminateFlag terminated{true};
  op.Execute(terminated);
  EXPECT_TRUE(kvtest::SamePixels(*result.GetSurface(), *source.GetSurface()));
  EXPECT_EQ(result.GetTitle(), "Streaks Noise(Terminated!)");
}
