// The compare pictures: the difference shades, the SSIM map against the SSIM measure and the
// plain window definition, and the viridis colours.
#include <gtest/gtest.h>

#include "KvTestSupport.h"
#include "PlainQuality.h"
#include "kvMeasures/cChannelProperties.h"
#include "kvMeasures/cPictureComparison.h"
#include "kvRuntime/cWorkerPool.h"

namespace {

struct sDifferenceCase {
  const char* Name;
  sDifferenceOptions Options;
  int Channels;
  uint8_t A, B;      // every sample of channel 0; channel c adds 40 c to both
  uint8_t Expected;  // the shade of pixel (0, 0), channel 0 (grey output: the mean)
};

TEST(PictureComparison, DifferenceShadesEverySampleAsAsked)
{
  const sDifferenceCase cases[] = {
      {"gain 1 is |B - A|", {1, false, false}, 1, 100, 93, 7},
      {"gain scales", {4, false, false}, 1, 100, 110, 40},
      {"gain clamps at white", {64, false, false}, 1, 0, 200, 255},
      {"signed is mid-grey + gain (B - A)", {2, true, false}, 1, 100, 90, 108},
      {"signed clamps at black", {64, true, false}, 1, 200, 0, 0},
      {"colour keeps channels", {3, false, false}, 3, 10, 20, 30},
      // channels differ by 10, 10 and 10 after the 40 c offsets: the mean is 30 at gain 3
      {"grey is the channels' mean", {3, false, true}, 3, 10, 20, 30},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    cBMPSurface a, b, out;
    kvtest::Fill(a, 5, 3, c.Channels, [&](int, int, int ch) { return uint8_t(c.A + 40 * ch); });
    kvtest::Fill(b, 5, 3, c.Channels, [&](int, int, int ch) { return uint8_t(c.B + 40 * ch); });
    cPictureComparison::Difference(a, b, c.Options, out);
    ASSERT_EQ(out.GetWidth(), 5);
    ASSERT_EQ(out.GetChannelsCount(), c.Options.Grey ? 1 : c.Channels);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x)
        for (int ch = 0; ch < out.GetChannelsCount(); ++ch) ASSERT_EQ(kvtest::Pixel(out, x, y, ch), c.Expected);
  }
}

TEST(PictureComparison, DifferenceOfRealPicturesIsTheAbsoluteDifferenceAtGainOne)
{
  cBMPSurface a, b, out;
  kvtest::FillRandom(a, 37, 21, 3, 1);
  kvtest::FillRandom(b, 37, 21, 3, 2);
  cPictureComparison::Difference(a, b, sDifferenceOptions{1, false, false}, out);
  for (int y = 0; y < 21; ++y)
    for (int x = 0; x < 37; ++x)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(kvtest::Pixel(out, x, y, c), std::abs(kvtest::Pixel(b, x, y, c) - kvtest::Pixel(a, x, y, c)));
}

struct sMapCase {
  int Width, Height, Channels, WindowWidth, WindowHeight;
  double K1, K2;
};

// The map's mean is the SSIM measure of B against A (exactly, as the History shows it), every
// pixel is the window SSIM of its plain definition, and splitting the rows over threads
// changes no value.
TEST(PictureComparison, SSIMMapIsTheMeasuresPerPixelValues)
{
  const sMapCase cases[] = {{23, 17, 1, 5, 5, 0.01, 0.03}, {19, 70, 3, 7, 3, 0.05, 0.1}, {9, 5, 3, 11, 11, 0.01, 0.03}};
  const unsigned threads = kvGetThreadCount();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Width) + "x" + std::to_string(c.Height) + "x" + std::to_string(c.Channels));
    cBMPSurface a, b;
    kvtest::FillRandom(a, c.Width, c.Height, c.Channels, 11);
    // B close to A, so that the windows' values spread over the whole range.
    kvtest::Fill(b, c.Width, c.Height, c.Channels,
                 [&](int x, int y, int ch) { return uint8_t(kvtest::Pixel(a, x, y, ch) / 2 + (x * y) % 50); });
    const sQualitySettings settings{c.WindowWidth, c.WindowHeight, c.K1, c.K2};
    kvSetThreadCount(1);
    sQualityMap single;
    ASSERT_TRUE(cPictureComparison::SSIMMap(a, b, settings, single));
    kvSetThreadCount(4);
    sQualityMap split;
    ASSERT_TRUE(cPictureComparison::SSIMMap(a, b, settings, split));
    kvSetThreadCount(threads);
    EXPECT_EQ(single.Values, split.Values);

    double measure = 0;
    for (int ch = 0; ch < c.Channels; ++ch) measure += cChannelProperties::ComputeSSIM(&b, &a, ch, settings);
    measure /= c.Channels;
    EXPECT_EQ(split.Mean, measure);
    double mean = 0;
    for (double v : split.Values) mean += v;
    EXPECT_NEAR(mean / double(split.Values.size()), measure, 1e-12);

    for (auto [x, y] : {std::pair{0, 0}, std::pair{c.Width - 1, c.Height / 2}, std::pair{c.Width / 2, c.Height - 1}}) {
      double plainValue = 0;
      for (int ch = 0; ch < c.Channels; ++ch)
        plainValue += plain::S(plain::Window(plain::SurfaceSample(b, ch), plain::SurfaceSample(a, ch), x, y,
                                             c.WindowWidth, c.WindowHeight),
                               c.K1, c.K2);
      EXPECT_NEAR(split.Values[size_t(y) * size_t(c.Width) + size_t(x)], plainValue / c.Channels, 1e-9);
    }
  }
}

TEST(PictureComparison, SquaredErrorMapMeanIsTheMSEAndItsScaleEndsAtThe99thPercentile)
{
  cBMPSurface a, b;
  kvtest::Fill(a, 20, 10, 1, [](int, int, int) { return uint8_t(100); });
  // one pixel in two hundred far off (an impulse), the rest off by 3
  kvtest::Fill(b, 20, 10, 1, [](int x, int y, int) { return uint8_t(x == 0 && y == 0 ? 0 : 103); });
  sQualityMap map;
  cPictureComparison::SquaredErrorMap(a, b, map);
  EXPECT_DOUBLE_EQ(map.Mean, kvtest::MSE(a, b));
  EXPECT_EQ(map.High, 9.0);
}

TEST(PictureComparison, ViridisRunsFromDarkPurpleThroughTealToYellow)
{
  const struct {
    double T;
    int R, G, B;
  } cases[] = {{-1, 68, 1, 84}, {0, 68, 1, 84}, {0.5, 33, 144, 141}, {1, 253, 231, 37}, {7, 253, 231, 37}};
  for (const auto& c : cases) {
    uint8_t rgb[3];
    cPictureComparison::Viridis(c.T, rgb);
    EXPECT_EQ(rgb[0], c.R) << c.T;
    EXPECT_EQ(rgb[1], c.G) << c.T;
    EXPECT_EQ(rgb[2], c.B) << c.T;
  }
  // Perceptually ordered: the lightness (here the sum of the channels) never falls along the map.
  int last = -1;
  for (int i = 0; i <= 100; ++i) {
    uint8_t rgb[3];
    cPictureComparison::Viridis(i / 100.0, rgb);
    const int lightness = 2 * rgb[0] + 5 * rgb[1] + rgb[2];
    EXPECT_GE(lightness, last) << i;
    last = lightness;
  }
}
}  // namespace
