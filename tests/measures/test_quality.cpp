// The windowed indices IQ, SSIM and the subband IQ of IQHVS: the fast sliding-window
// computation against the plain definition, and the values the definitions fix.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "KvTestSupport.h"
#include "PlainQuality.h"
#include "kvMeasures/cChannelProperties.h"
#include "kvMessages/cUserDialogs.h"
#include "kvWavelet/cWaveletLib.h"

namespace {

// A picture and a noisy copy of it, so that windows are correlated but differ.
void NoisyPair(cBMPSurface& a, cBMPSurface& b, int w, int h, int channels, uint32_t seed)
{
  kvtest::FillRandom(a, w, h, channels, seed);
  std::mt19937 rng(seed + 1);
  std::uniform_int_distribution<int> noise(-40, 40);
  kvtest::Fill(b, w, h, channels, [&](int x, int y, int c) {
    return uint8_t(std::clamp(int(kvtest::Pixel(a, x, y, c)) + noise(rng), 0, 255));
  });
}

sQualitySettings Window(int w, int h)
{
  sQualitySettings s;
  s.WindowWidth = w;
  s.WindowHeight = h;
  return s;
}

struct sCase {
  int Width, Height, Channels, WindowWidth, WindowHeight;
};

class FastEqualsPlain : public ::testing::TestWithParam<sCase> {};

TEST_P(FastEqualsPlain, IQAndSSIMMatchTheDefinitionOnRandomPictures)
{
  const sCase c = GetParam();
  cBMPSurface a, b;
  NoisyPair(a, b, c.Width, c.Height, c.Channels, uint32_t(c.Width * 131 + c.Height * 7 + c.WindowWidth));
  const sQualitySettings settings = Window(c.WindowWidth, c.WindowHeight);
  for (int ch = 0; ch < c.Channels; ++ch) {
    const double iq = cChannelProperties::ComputeIQ(&a, &b, ch, settings);
    const double ssim = cChannelProperties::ComputeSSIM(&a, &b, ch, settings);
    EXPECT_NEAR(iq, plain::IQ(a, b, ch, c.WindowWidth, c.WindowHeight), 1e-9) << "channel " << ch;
    EXPECT_NEAR(ssim, plain::SSIM(a, b, ch, c.WindowWidth, c.WindowHeight), 1e-9) << "channel " << ch;
    EXPECT_TRUE(std::isfinite(iq));
    EXPECT_TRUE(std::isfinite(ssim));
  }
}

INSTANTIATE_TEST_SUITE_P(Windows, FastEqualsPlain,
                         ::testing::Values(sCase{7, 5, 1, 5, 5}, sCase{5, 7, 1, 3, 3}, sCase{16, 13, 3, 5, 5},
                                           sCase{1, 9, 1, 5, 5}, sCase{9, 1, 1, 5, 5}, sCase{1, 1, 1, 5, 5},
                                           sCase{3, 4, 1, 11, 11}, sCase{2, 2, 3, 9, 3}, sCase{12, 10, 1, 3, 7},
                                           sCase{21, 150, 1, 5, 5}, sCase{8, 8, 1, 4, 4}, sCase{8, 6, 1, 1, 1},
                                           sCase{6, 9, 1, 2, 6}));

TEST(SubbandIndex, MatchesTheDefinitionWithTheSymmetricBorderRule)
{
  std::mt19937 rng(5);
  std::normal_distribution<double> value(100, 60);
  const int sizes[][4] = {{6, 4, 5, 5}, {1, 7, 5, 5}, {7, 1, 3, 3}, {3, 2, 11, 11}, {33, 70, 5, 5}, {10, 9, 7, 3}};
  for (auto& s : sizes) {
    const int w = s[0], h = s[1];
    std::vector<double> a(size_t(w * h)), b(size_t(w * h));
    for (size_t i = 0; i < a.size(); ++i) {
      a[i] = value(rng);
      b[i] = a[i] + value(rng) * 0.3;
    }
    EXPECT_NEAR(cChannelProperties::PlaneIQ(a.data(), b.data(), w, h, s[2], s[3]),
                plain::PlaneIQ(a, b, w, h, s[2], s[3]), 1e-9)
        << w << " x " << h;
  }
}

TEST(QualityValues, IdenticalPlanesInTwoSurfacesGiveExactlyOne)
{
  cBMPSurface a, b;
  kvtest::FillRandom(a, 23, 17, 3, 9);
  b.MakeCopyFrom(a);
  const sQualitySettings settings;
  for (int ch = 0; ch < 3; ++ch) {
    EXPECT_DOUBLE_EQ(cChannelProperties::ComputeIQ(&a, &b, ch, settings), 1.0);
    EXPECT_DOUBLE_EQ(cChannelProperties::ComputeSSIM(&a, &b, ch, settings), 1.0);
    EXPECT_NEAR(cChannelProperties::ComputeIQHVS(&a, &b, ch, settings), 1.0, 1e-12);
  }
}

TEST(QualityValues, APlaneAgainstItsInverseGivesANegativeIQ)
{
  cBMPSurface a, b;
  kvtest::FillRandom(a, 20, 20, 1, 3);
  kvtest::Fill(b, 20, 20, 1, [&](int x, int y, int) { return uint8_t(255 - kvtest::Pixel(a, x, y)); });
  EXPECT_LT(cChannelProperties::ComputeIQ(&a, &b, 0, sQualitySettings()), -0.5);
}

TEST(QualityValues, ZeroDenominatorsCountAsAgreement)
{
  cBMPSurface black1, black2, grey1, grey2;
  kvtest::Fill(black1, 6, 6, 1, [](int, int, int) { return 0; });
  kvtest::Fill(black2, 6, 6, 1, [](int, int, int) { return 0; });
  kvtest::Fill(grey1, 6, 6, 1, [](int, int, int) { return 40; });
  kvtest::Fill(grey2, 6, 6, 1, [](int, int, int) { return 200; });
  EXPECT_DOUBLE_EQ(cChannelProperties::ComputeIQ(&black1, &black2, 0, sQualitySettings()), 1.0);
  // Two different constant planes: both variances 0 in every window.
  EXPECT_DOUBLE_EQ(cChannelProperties::ComputeIQ(&grey1, &grey2, 0, sQualitySettings()), 1.0);
}

TEST(QualityValues, MissingOrSameOriginAndEmptyPlanes)
{
  cBMPSurface a, empty1, empty2;
  kvtest::FillRandom(a, 8, 8, 1, 4);
  empty1.SetSize(0, 0, 1);
  empty2.SetSize(0, 0, 1);
  const sQualitySettings s;
  EXPECT_EQ(cChannelProperties::ComputeSSIM(&a, nullptr, 0, s), 0.0);
  EXPECT_EQ(cChannelProperties::ComputeIQHVS(&a, nullptr, 0, s), 0.0);
  EXPECT_EQ(cChannelProperties::ComputeIQ(&a, &a, 0, s), 1.0);
  EXPECT_EQ(cChannelProperties::ComputeSSIM(&a, &a, 0, s), 1.0);
  EXPECT_EQ(cChannelProperties::ComputeIQHVS(&a, &a, 0, s), 1.0);
  for (auto kind : {qiIQ, qiIQHVS, qiSSIM}) {
    const double v = cChannelProperties::Compute(kind, &empty1, &empty2, 0, s);
    EXPECT_TRUE(std::isfinite(v)) << kind;
  }
}

TEST(QualityValues, OneByOneWindowsAndZeroConstantsStayDefined)
{
  cBMPSurface a, b;
  NoisyPair(a, b, 9, 9, 1, 21);
  sQualitySettings one = Window(1, 1);
  // A single pixel has no spread: both variances 0, so every window agrees.
  EXPECT_DOUBLE_EQ(cChannelProperties::ComputeIQ(&a, &b, 0, one), 1.0);
  const double ssim = cChannelProperties::ComputeSSIM(&a, &b, 0, one);
  EXPECT_TRUE(std::isfinite(ssim));
  EXPECT_GT(ssim, 0.0);
  EXPECT_LE(ssim, 1.0);
  sQualitySettings zero;
  zero.K1 = zero.K2 = 0;
  cBMPSurface black1, black2;
  kvtest::Fill(black1, 6, 6, 1, [](int, int, int) { return 0; });
  kvtest::Fill(black2, 6, 6, 1, [](int, int, int) { return 0; });
  EXPECT_DOUBLE_EQ(cChannelProperties::ComputeSSIM(&black1, &black2, 0, zero), 1.0);
}

TEST(QualityValues, IQHVSOfThinPlanesIsDefinedWithoutMessages)
{
  std::vector<std::string> shown;
  cUserDialogs::SetHandlers([&](const std::string& t) { shown.push_back(t); }, nullptr);
  cBMPSurface a, b;
  NoisyPair(a, b, 1, 12, 1, 8);
  const double v = cChannelProperties::ComputeIQHVS(&a, &b, 0, sQualitySettings());
  cUserDialogs::SetHandlers(nullptr, nullptr);
  EXPECT_TRUE(std::isfinite(v));
  EXPECT_LT(v, 1.0);
  EXPECT_TRUE(shown.empty());
}

TEST(QualityValues, IQHVSFallsAsNoiseGrows)
{
  cBMPSurface a, slight, strong;
  kvtest::Fill(a, 32, 32, 1, [](int x, int y, int) { return uint8_t(4 * x + 3 * y); });
  std::mt19937 rng(2);
  std::normal_distribution<double> n(0, 1);
  kvtest::Fill(slight, 32, 32, 1,
               [&](int x, int y, int) { return uint8_t(std::clamp(4 * x + 3 * y + int(3 * n(rng)), 0, 255)); });
  kvtest::Fill(strong, 32, 32, 1,
               [&](int x, int y, int) { return uint8_t(std::clamp(4 * x + 3 * y + int(30 * n(rng)), 0, 255)); });
  const double v1 = cChannelProperties::ComputeIQHVS(&slight, &a, 0, sQualitySettings());
  const double v2 = cChannelProperties::ComputeIQHVS(&strong, &a, 0, sQualitySettings());
  EXPECT_LT(v1, 1.0);
  EXPECT_LT(v2, v1);
}

}  // namespace

// IQHVS makes its subbands a pair at a time from the pixel rows; its value must be exactly
// that of decomposing whole copies of both planes into trees, as the wavelet library does.
TEST(QualityValues, IQHVSInPiecesEqualsTheWholeTreeDecomposition)
{
  for (const sCase& c :
       {sCase{32, 24, 1, 5, 5}, sCase{31, 17, 3, 7, 3}, sCase{18, 33, 3, 1, 1}, sCase{2, 2, 1, 5, 5}}) {
    SCOPED_TRACE(std::to_string(c.Width) + " x " + std::to_string(c.Height));
    cBMPSurface a, b;
    NoisyPair(a, b, c.Width, c.Height, c.Channels, 7);
    const sQualitySettings s = Window(c.WindowWidth, c.WindowHeight);
    for (int ch = 0; ch < c.Channels; ++ch) {
      cWaveletLib library;
      library.SetWavelet("doubeshies_9_7");
      double* measured = library.CreateTree("Tree", c.Width, c.Height).Data;
      double* reference = library.CreateTree("OriginTree", c.Width, c.Height).Data;
      for (int y = 0; y < c.Height; ++y)
        for (int x = 0; x < c.Width; ++x) {
          measured[y * c.Width + x] = kvtest::Pixel(a, x, y, ch);
          reference[y * c.Width + x] = kvtest::Pixel(b, x, y, ch);
        }
      ASSERT_TRUE(library.Decompose("Tree:"));
      ASSERT_TRUE(library.Decompose("OriginTree:"));
      const double weights[4] = {0.5779, 0.1707, 0.1582, 0.0932};
      double whole = 0.0;
      int band = 0;
      for (const char* name : {"/LL", "/LH", "/HL", "/HH"}) {
        const sLeaf m = library.GetLeaf(std::string("Tree:") + name);
        const sLeaf r = library.GetLeaf(std::string("OriginTree:") + name);
        whole += weights[band++] *
                 cChannelProperties::PlaneIQ(m.Data, r.Data, m.Width, m.Height, s.WindowWidth, s.WindowHeight);
      }
      EXPECT_EQ(cChannelProperties::ComputeIQHVS(&a, &b, ch, s), whole) << "channel " << ch;
    }
  }
}
