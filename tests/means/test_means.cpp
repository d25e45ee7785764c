#include <gtest/gtest.h>

#include "ArithmeticMeanFilter.h"
#include "ContrHarmonicMeanFilter.h"
#include "FilterChecks.h"
#include "GeometricMeanFilter.h"
#include "HarmonicMeanFilter.h"
#include "ParamSupport.h"
#include "TruncatedMeanFilter.h"

using kvtest::At;
using kvtest::RunOperation;
using kvtest::SetParam;

namespace {

// A 3 x 3 picture whose centre window is exactly the nine given values.
void Window3x3(cImage& image, const std::vector<int>& v)
{
  kvtest::Rows(*image.GetSurface(), {{v[0], v[1], v[2]}, {v[3], v[4], v[5]}, {v[6], v[7], v[8]}});
}

uint8_t CentreOf(acOperation& op, const std::vector<int>& values)
{
  cImage image;
  Window3x3(image, values);
  return At(*RunOperation(op, image), 1, 1);
}

}  // namespace

TEST(MeaningPackage, RegistersTheFourMeansInOrder)
{
  const std::vector<std::string> expected{"Arithmetic Mean", "Geometric Mean", "Harmonic Mean", "Contraharmonic Mean"};
  EXPECT_EQ(kvtest::PackageOperationNames("030pkMeaning.so"), expected);
}

TEST(MeaningPackage, TruncatedMeanIsSecondInTheMiscPackage)
{
  const auto names = kvtest::PackageOperationNames("999pkMisc.so");
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names[1], "Truncated Mean");
}

TEST(MeaningPackage, ContraharmonicOrderPrecedesTheRecursiveFlag)
{
  ContrHarmonicMeanFilter f;
  ASSERT_EQ(f.GetParams()->GetParamsCount(), 4);
  EXPECT_EQ(f.GetParams()->GetParam(2)->GetName(), "Order");
  EXPECT_EQ(f.GetParams()->GetParam(3)->GetName(), "Recursive executing");
  HarmonicMeanFilter h;
  EXPECT_EQ(h.GetParams()->GetParam(2)->GetName(), "Recursive executing");
  TruncatedMeanFilter t;
  EXPECT_EQ(kvtest::Param(t, "Size of truncation").GetInteger(), 4);
}

TEST(Means, OneByOneWindowCopies)
{
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 7, 6, 3, 5);
  ArithmeticMeanFilter a;
  GeometricMeanFilter g;
  HarmonicMeanFilter h;
  ContrHarmonicMeanFilter c;
  for (acOperation* op : std::initializer_list<acOperation*>{&a, &g, &h, &c}) {
    SetParam(*op, "Window width", 1);
    SetParam(*op, "Window height", 1);
    auto result = RunOperation(*op, source);
    // Geometric and harmonic may round a single v up to v + 1; arithmetic and contraharmonic
    // must return v exactly.
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 7; ++x)
        for (int ch = 0; ch < 3; ++ch) {
          const int v = At(source, x, y, ch);
          const int r = At(*result, x, y, ch);
          if (op == &a || op == &c)
            ASSERT_EQ(r, v) << op->GetName();
          else
            ASSERT_TRUE(r == v || (r == v + 1 && v != 0) || (v == 0 && op == &g && r == 1))
                << op->GetName() << " " << v << "->" << r;
        }
  }
}

TEST(Means, ConstantWindows)
{
  ArithmeticMeanFilter a;
  GeometricMeanFilter g;
  HarmonicMeanFilter h;
  ContrHarmonicMeanFilter c;
  for (int v : {1, 2, 17, 100, 254, 255}) {
    const std::vector<int> flat(9, v);
    EXPECT_EQ(CentreOf(a, flat), v);
    EXPECT_EQ(CentreOf(c, flat), v) << "contraharmonic, Q = 0, v = " << v;
    const int gv = CentreOf(g, flat);
    EXPECT_TRUE(gv == v || gv == v + 1) << v;
    const int hv = CentreOf(h, flat);
    EXPECT_TRUE(hv == v || hv == v + 1) << v;
  }
  // The ceiling of a hair above 255 must not wrap around to 0.
  EXPECT_EQ(CentreOf(g, std::vector<int>(9, 255)), 255);
  EXPECT_EQ(CentreOf(h, std::vector<int>(9, 255)), 255);
  // Windows of zeros.
  const std::vector<int> zeros(9, 0);
  EXPECT_EQ(CentreOf(g, zeros), 1);
  EXPECT_EQ(CentreOf(h, zeros), 0);
  EXPECT_EQ(CentreOf(c, zeros), 0);
}

TEST(Means, ArithmeticTakesTheCeiling)
{
  cImage row;
  kvtest::Rows(*row.GetSurface(), {{0, 0, 1}});
  ArithmeticMeanFilter a;
  SetParam(a, "Window height", 1);
  EXPECT_EQ(At(*RunOperation(a, row), 1, 0), 1);
}

TEST(Means, HarmonicCountsZeroSamplesInTheDivisor)
{
  HarmonicMeanFilter h;
  EXPECT_EQ(CentreOf(h, {100, 100, 100, 100, 0, 100, 100, 100, 100}), 113);
  // ceil(9 / (8 / 255)) = 287 is capped.
  EXPECT_EQ(CentreOf(h, {255, 255, 255, 255, 0, 255, 255, 255, 255}), 255);
}

TEST(Means, GeometricCountsZeroSamplesAsOne)
{
  GeometricMeanFilter g;
  // exp((8 ln 2 + 0) / 9) = 2^(8/9) = 1.85 -> 2; with zeros skipped from N it would be 2^1.
  EXPECT_EQ(CentreOf(g, {2, 2, 2, 2, 0, 2, 2, 2, 2}), 2);
  // 4 samples of 16 and five zeros: exp(4 ln 16 / 9) = 16^(4/9) = 3.42 -> 4.
  EXPECT_EQ(CentreOf(g, {16, 0, 16, 0, 0, 0, 16, 0, 16}), 4);
}

TEST(Means, ContraharmonicIgnoresZerosAndFollowsItsOrder)
{
  ContrHarmonicMeanFilter c;
  // Q = 0: mean of the non-zero samples, cut down: (10 + 11) / 2 = 10.5 -> 10.
  EXPECT_EQ(CentreOf(c, {0, 0, 0, 10, 11, 0, 0, 0, 0}), 10);
  // Q = -1: harmonic mean of the non-zero samples over their own count: 2 / (1/10 + 1/20) = 13.3.
  SetParam(c, "Order", -1.0);
  EXPECT_EQ(CentreOf(c, {0, 0, 0, 10, 20, 0, 0, 0, 0}), 13);
  EXPECT_EQ(CentreOf(c, std::vector<int>(9, 100)), 100);
  // Q = 1: (100 + 400) / (10 + 20) = 16.7.
  SetParam(c, "Order", 1.0);
  EXPECT_EQ(CentreOf(c, {0, 0, 0, 10, 20, 0, 0, 0, 0}), 16);
}

TEST(Means, ContraharmonicSwapsWidthAndHeight)
{
  // A bright sample two columns right of the centre, background 10.
  cImage wide, tall;
  kvtest::Fill(*wide.GetSurface(), 9, 9, 1, [](int x, int y, int) { return uint8_t(x == 6 && y == 4 ? 100 : 10); });
  kvtest::Fill(*tall.GetSurface(), 9, 9, 1, [](int x, int y, int) { return uint8_t(x == 4 && y == 6 ? 100 : 10); });
  ContrHarmonicMeanFilter c;
  SetParam(c, "Window width", 3);
  SetParam(c, "Window height", 5);
  // 5 wide, 3 high: (14 * 10 + 100) / 15 = 16.
  EXPECT_EQ(At(*RunOperation(c, wide), 4, 4), 16);
  EXPECT_EQ(At(*RunOperation(c, tall), 4, 4), 10);
  // The arithmetic mean reads "Window width" as the horizontal extent.
  ArithmeticMeanFilter a;
  SetParam(a, "Window width", 3);
  SetParam(a, "Window height", 5);
  EXPECT_EQ(At(*RunOperation(a, wide), 4, 4), 10);
  EXPECT_EQ(At(*RunOperation(a, tall), 4, 4), 16);
}

TEST(TruncatedMean, DropsHalfTheTruncationAtEachEnd)
{
  TruncatedMeanFilter t;
  const std::vector<int> values{90, 1, 70, 2, 5, 60, 3, 80, 4};  // sorted 1 2 3 4 5 60 70 80 90
  EXPECT_EQ(CentreOf(t, values), (3 + 4 + 5 + 60 + 70) / 5);
  SetParam(t, "Size of truncation", 5);  // odd: acts as 4
  EXPECT_EQ(CentreOf(t, values), (3 + 4 + 5 + 60 + 70) / 5);
  SetParam(t, "Size of truncation", 26);  // above N - 1: becomes 8, the median
  EXPECT_EQ(CentreOf(t, values), 5);
  SetParam(t, "Size of truncation", 0);
  EXPECT_EQ(CentreOf(t, values), 315 / 9);
  SetParam(t, "Size of truncation", 2);
  EXPECT_EQ(CentreOf(t, values), (2 + 3 + 4 + 5 + 60 + 70 + 80) / 7);
}

TEST(TruncatedMean, EvenWindowLooksAheadAndClampsTheTruncation)
{
  // W = 2 covers offsets 0 .. +1; truncation 4 of N = 4 becomes 3, then 2.
  cImage source;
  kvtest::Rows(*source.GetSurface(), {{10, 20, 0}, {30, 200, 0}, {0, 0, 0}});
  TruncatedMeanFilter t;
  SetParam(t, "Window size", 2);
  EXPECT_EQ(At(*RunOperation(t, source), 0, 0), (20 + 30) / 2);
}

TEST(Means, ChannelsAreFilteredIndependently)
{
  ArithmeticMeanFilter a;
  GeometricMeanFilter g;
  ContrHarmonicMeanFilter c;
  TruncatedMeanFilter t;
  SetParam(c, "Order", 0.5);
  kvtest::ExpectChannelsIndependent(a);
  kvtest::ExpectChannelsIndependent(g);
  kvtest::ExpectChannelsIndependent(c);
  kvtest::ExpectChannelsIndependent(t);
}

TEST(MeanRowForms, EqualThePerSampleReference)
{
  ArithmeticMeanFilter a;
  GeometricMeanFilter g;
  HarmonicMeanFilter h;
  ContrHarmonicMeanFilter c;
  TruncatedMeanFilter t;
  SetParam(c, "Order", -0.37);
  const int sizes[][2] = {{1, 1}, {2, 3}, {3, 3}, {4, 2}, {5, 1}, {27, 3}};
  for (auto& s : sizes)
    for (bool recursive : {false, true}) {
      const std::string label = std::to_string(s[0]) + "x" + std::to_string(s[1]) + (recursive ? " recursive" : "");
      for (acMeanFilter* f : std::initializer_list<acMeanFilter*>{&a, &g, &h, &c}) {
        SetParam(*f, "Window width", s[0]);
        SetParam(*f, "Window height", s[1]);
        SetParam(*f, "Recursive executing", recursive);
        kvtest::ExpectFastEqualsPlain(*f, f->GetName() + " " + label);
      }
      SetParam(t, "Window size", std::max(2, s[0]));
      SetParam(t, "Size of truncation", std::min(26, s[1] * 2));
      SetParam(t, "Recursive executing", recursive);
      kvtest::ExpectFastEqualsPlain(t, "Truncated " + label);
    }
}

// Windows whose mean lies exactly on a step of the rounding (flat areas of every value, and
// powers of two whose geometric, harmonic and contraharmonic means are often whole): the row
// forms decide these through the reference's own arithmetic, so they must still agree.
TEST(MeanRowForms, AgreeOnWindowsWhoseMeanIsWhole)
{
  std::vector<std::unique_ptr<cImage>> pictures;
  // 4 x 4 tiles of every value 0 .. 255, three channels offset against each other.
  pictures.push_back(std::make_unique<cImage>());
  kvtest::Fill(*pictures.back()->GetSurface(), 64, 64, 3,
               [](int x, int y, int c) { return uint8_t((y / 4 * 16 + x / 4 + 85 * c) % 256); });
  // Powers of two and their neighbours in short stripes.
  pictures.push_back(std::make_unique<cImage>());
  kvtest::Fill(*pictures.back()->GetSurface(), 41, 23, 1, [](int x, int y, int) {
    const int powers[] = {0, 1, 2, 4, 8, 16, 32, 64, 128, 255};
    return uint8_t(powers[(x / 2 + y * 3 + (x * y) % 3) % 10]);
  });
  ArithmeticMeanFilter a;
  GeometricMeanFilter g;
  HarmonicMeanFilter h;
  ContrHarmonicMeanFilter c;
  for (double order : {0.0, 1.0, -1.0, 0.5, -0.37})
    for (int size : {1, 2, 3, 5}) {
      for (acMeanFilter* f : std::initializer_list<acMeanFilter*>{&a, &g, &h, &c}) {
        SetParam(*f, "Window width", size);
        SetParam(*f, "Window height", size == 2 ? 4 : size);
        if (f == &c) SetParam(c, "Order", order);
        for (auto& picture : pictures) {
          f->SetPixelReference(true);
          auto plain = RunOperation(*f, *picture);
          f->SetPixelReference(false);
          auto rows = RunOperation(*f, *picture);
          EXPECT_TRUE(kvtest::SamePixels(*plain->GetSurface(), *rows->GetSurface()))
              << f->GetName() << " size " << size << " order " << order << " on " << picture->GetWidth();
        }
      }
    }
}
