// Per-channel statistics: histogram, MSE, the synchronous IQHVS and the spectrum.
#include <gtest/gtest.h>

#include <cmath>

#include "KvTestSupport.h"
#include "kvMeasures/cChannelProperties.h"

namespace {

TEST(ChannelStatistics, HistogramCountsEveryPixelOnce)
{
  cBMPSurface s;
  kvtest::Fill(s, 2, 2, 1, [](int, int y, int) { return y == 0 ? 0 : 255; });
  cChannelProperties p;
  p.SetChannel(0, &s);
  p.CalculateProperties(&s);
  EXPECT_EQ(p.GetHistogram()[0], 2);
  EXPECT_EQ(p.GetHistogram()[255], 2);
  for (int i = 1; i < 255; ++i) EXPECT_EQ(p.GetHistogram()[i], 0) << i;

  cBMPSurface wide;
  kvtest::FillRandom(wide, 7, 5, 3, 1);
  for (int ch = 0; ch < 3; ++ch) {
    cChannelProperties q;
    q.SetChannel(ch, &wide);
    q.CalculateProperties(&wide);
    int total = 0, atFirst = 0;
    for (int i = 0; i < 256; ++i) total += q.GetHistogram()[i];
    for (int i = 0; i < 256; ++i)
      if (i == kvtest::Pixel(wide, 3, 2, ch)) atFirst = q.GetHistogram()[i];
    EXPECT_EQ(total, 35);
    EXPECT_GE(atFirst, 1);
  }
}

TEST(ChannelStatistics, AgainstItselfMSEIsZeroAndIQHVSOne)
{
  cBMPSurface s;
  kvtest::FillRandom(s, 9, 6, 1, 2);
  cChannelProperties p;
  p.SetChannel(0, &s);
  p.CalculateProperties(&s);
  EXPECT_EQ(p.GetMSE(), 0.0);
  EXPECT_EQ(p.GetIQHVS(), 1.0);
}

TEST(ChannelStatistics, MSEOfPlusOneEverywhereIsOne)
{
  cBMPSurface a, b;
  kvtest::Fill(a, 11, 7, 3, [](int x, int y, int c) { return uint8_t((x * 20 + y * 3 + c) % 255); });
  kvtest::Fill(b, 11, 7, 3, [&](int x, int y, int c) { return uint8_t(kvtest::Pixel(a, x, y, c) + 1); });
  for (int ch = 0; ch < 3; ++ch) {
    cChannelProperties p;
    p.SetChannel(ch, &b);
    p.CalculateProperties(&a);
    EXPECT_DOUBLE_EQ(p.GetMSE(), 1.0);
    EXPECT_LT(p.GetIQHVS(), 1.0);
    EXPECT_EQ(p.GetOriginSurface(), &a);
  }
}

TEST(ChannelStatistics, MSEMatchesThePlainFormulaPerChannel)
{
  cBMPSurface a, b;
  kvtest::FillRandom(a, 13, 9, 3, 7);
  kvtest::FillRandom(b, 13, 9, 3, 8);
  for (int ch = 0; ch < 3; ++ch) {
    cChannelProperties p;
    p.SetChannel(ch, &a);
    p.CalculateProperties(&b);
    EXPECT_NEAR(p.GetMSE(), kvtest::MSE(a, b, ch), 1e-9);
  }
}

TEST(Spectrum, ConstantPlaneHasOneCentredCoefficient)
{
  const int w = 8, h = 6, v = 7;
  cBMPSurface s;
  kvtest::Fill(s, w, h, 1, [](int, int, int) { return v; });
  cChannelProperties p;
  p.SetChannel(0, &s);
  p.PrepareSpectrum();
  ASSERT_TRUE(p.HasSpectrum());
  const int columns = w / 2 + 1;
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < columns; ++c) {
      const double re = p.GetSpectrum()[2 * (r * columns + c)], im = p.GetSpectrum()[2 * (r * columns + c) + 1];
      const double magnitude = std::hypot(re, im);
      if (r == h / 2 && c == w / 2)
        EXPECT_NEAR(magnitude, double(w * h * v), 1e-9);
      else
        EXPECT_NEAR(magnitude, 0.0, 1e-9) << r << "," << c;
    }
  p.FreeSpectrum();
  EXPECT_FALSE(p.HasSpectrum());
  p.FreeSpectrum();
  EXPECT_EQ(p.GetSpectrum(), nullptr);
}

TEST(Spectrum, ColourChannelsAreTransformedSeparately)
{
  cBMPSurface s;
  kvtest::Fill(s, 4, 4, 3, [](int x, int, int c) { return uint8_t(c == 1 ? 10 * x : 50); });
  cChannelProperties blue, green;
  blue.SetChannel(0, &s);
  green.SetChannel(1, &s);
  blue.PrepareSpectrum();
  green.PrepareSpectrum();
  // Centre coefficient (row 2, column 2 of 3) is -(sum of the plane).
  EXPECT_NEAR(blue.GetSpectrum()[2 * (2 * 3 + 2)], -50.0 * 16, 1e-9);
  EXPECT_NEAR(green.GetSpectrum()[2 * (2 * 3 + 2)], -10.0 * (0 + 1 + 2 + 3) * 4, 1e-9);
}

}  // namespace
