// "Resample": hand-computed pixels of each method, corner reproduction, odd and degenerate sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "KvTestSupport.h"
#include "ParamSupport.h"
#include "kvOperations/cResampleOperation.h"

namespace {

enum { NearestNeighbor = 0, Bilinear = 1, Bicubic = 2 };

// Grey picture from rows of values, row 0 at the top.
void FromRows(cImage& image, const std::vector<std::vector<int>>& rows)
{
  const int h = int(rows.size());
  const int w = h ? int(rows[0].size()) : 0;
  image.SetSize(w, h, 1);
  kvtest::Fill(*image.GetSurface(), w, h, 1, [&](int x, int y, int) { return uint8_t(rows[size_t(y)][size_t(x)]); });
}

std::vector<std::vector<int>> ToRows(cImage& image, int c = 0)
{
  cBMPSurface& s = *image.GetSurface();
  std::vector<std::vector<int>> rows(size_t(s.GetHeight()), std::vector<int>(size_t(s.GetWidth())));
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x) rows[size_t(y)][size_t(x)] = kvtest::Pixel(s, x, y, c);
  return rows;
}

std::unique_ptr<cImage> Resample(cImage& source, int newWidth, int newHeight, int method)
{
  static cResampleOperation op;
  kvtest::SetParam(op, "NewWidth", newWidth);
  kvtest::SetParam(op, "NewHeight", newHeight);
  kvtest::SetParam(op, "ResampleType", method);
  return kvtest::RunOperation(op, source);
}

// Natural cubic spline through (i / (n - 1), v[i]) evaluated at t, by the textbook
// second-derivative system.
double NaturalSpline(const std::vector<double>& v, double t)
{
  const size_t n = v.size();
  const double h = 1.0 / double(n - 1);
  std::vector<double> m(n, 0.0), c(n, 0.0), d(n, 0.0);
  // Thomas algorithm for h M[i-1] + 4h M[i] + h M[i+1] = 6 (v[i+1] - 2 v[i] + v[i-1]) / h.
  for (size_t i = 1; i + 1 < n; ++i) {
    const double rhs = 6.0 * (v[i + 1] - 2.0 * v[i] + v[i - 1]) / h;
    const double diag = 4.0 * h - (i > 1 ? h * c[i - 1] : 0.0);
    c[i] = h / diag;
    d[i] = (rhs - (i > 1 ? h * d[i - 1] : 0.0)) / diag;
  }
  for (size_t i = n - 2; i >= 1; --i) m[i] = d[i] - c[i] * m[i + 1];
  size_t k = std::min(n - 2, size_t(t / h));
  const double a = (double(k + 1) * h - t) / h, b = (t - double(k) * h) / h;
  return a * v[k] + b * v[k + 1] + ((a * a * a - a) * m[k] + (b * b * b - b) * m[k + 1]) * h * h / 6.0;
}

}  // namespace

TEST(Resample, DeclaresItselfAsBuiltInWithItsOwnDialog)
{
  cResampleOperation op;
  EXPECT_EQ(op.GetName(), "Resample");
  EXPECT_EQ(op.GetGroupName(), "AbstructGroup");
  EXPECT_EQ(op.GetOperationType(), "otBuiltIn");
  EXPECT_EQ(op.GetFormMode(), 2);
  EXPECT_TRUE(op.TotalVariation);
  cOperationParams& p = *op.GetParams();
  ASSERT_EQ(p.GetParamsCount(), 3);
  EXPECT_EQ(p.GetParam(0)->GetName(), "NewWidth");
  EXPECT_EQ(p.GetParam(1)->GetName(), "NewHeight");
  EXPECT_EQ(p.GetParam(2)->GetName(), "ResampleType");
  EXPECT_EQ(kvtest::Param(op, "NewWidth").GetInteger(), 1000);
  const cOperationParameter& type = kvtest::Param(op, "ResampleType");
  EXPECT_EQ(type.GetEnumSelectedIndex(), 0);
  ASSERT_EQ(type.GetEnumStringCount(), 3);
  EXPECT_EQ(type.GetEnumString(2), "Bicubic");
}

TEST(Resample, NearestNeighborRoundsColumnsAndTruncatesRows)
{
  cImage source;
  FromRows(source, {{0, 1, 2, 3}, {10, 11, 12, 13}, {20, 21, 22, 23}, {30, 31, 32, 33}});
  // sx = sy = 2: columns floor(2k + 0.5), rows floor(2j).
  EXPECT_EQ(ToRows(*Resample(source, 2, 2, NearestNeighbor)), (std::vector<std::vector<int>>{{0, 2}, {20, 22}}));
  // sx = 4/3: columns 0, floor(1.83) = 1, floor(3.17) = 3; sy = 4/3: rows 0, 1, 2.
  EXPECT_EQ(ToRows(*Resample(source, 3, 3, NearestNeighbor)),
            (std::vector<std::vector<int>>{{0, 1, 3}, {10, 11, 13}, {20, 21, 23}}));

  cImage line;
  FromRows(line, {{5, 6, 7}});
  EXPECT_EQ(ToRows(*Resample(line, 2, 1, NearestNeighbor)), (std::vector<std::vector<int>>{{5, 7}}));
  FromRows(line, {{5, 6}});
  // sx = 2/3: columns 0, floor(1.17) = 1, floor(1.83) = 1.
  EXPECT_EQ(ToRows(*Resample(line, 3, 1, NearestNeighbor)), (std::vector<std::vector<int>>{{5, 6, 6}}));
  // Upscaling past twice reaches column W, which the border rule maps back to W - 1.
  EXPECT_EQ(ToRows(*Resample(line, 5, 1, NearestNeighbor)), (std::vector<std::vector<int>>{{5, 5, 6, 6, 6}}));
}

TEST(Resample, BilinearAveragesTwoByTwoAndRoundsHalfUp)
{
  cImage source;
  FromRows(source, {{10, 20}, {30, 41}});
  // (15 + 35.5) / 2 + 0.5 = 25.75.
  EXPECT_EQ(ToRows(*Resample(source, 1, 1, Bilinear)), (std::vector<std::vector<int>>{{25}}));
  cImage line;
  FromRows(line, {{10, 21}});
  // Column 0: (10 + 21) / 2 = 15.5 rounds to 16; column 1 reads x + 1 = 2, folded onto column 1.
  EXPECT_EQ(ToRows(*Resample(line, 2, 1, Bilinear)), (std::vector<std::vector<int>>{{16, 21}}));
  cImage square;
  FromRows(square, {{0, 4, 8}, {12, 16, 20}, {24, 28, 32}});
  // Rows 0, 1, 2 and columns 0, 1, 2; row 3 folds onto row 2, column 3 onto column 2.
  EXPECT_EQ(ToRows(*Resample(square, 3, 3, Bilinear)),
            (std::vector<std::vector<int>>{{8, 12, 14}, {20, 24, 26}, {26, 30, 32}}));
}

TEST(Resample, BicubicReproducesCornersAndIsLinearBetweenTwoSamples)
{
  cImage source;
  FromRows(source, {{10, 21}, {30, 41}});
  // Two samples make the natural spline a straight line: 15.5, 25.5, 35.5 truncate.
  EXPECT_EQ(ToRows(*Resample(source, 3, 3, Bicubic)),
            (std::vector<std::vector<int>>{{10, 15, 21}, {20, 25, 31}, {30, 35, 41}}));
}

TEST(Resample, BicubicFollowsTheNaturalSplineThroughThreeSamples)
{
  cImage line;
  FromRows(line, {{0, 100, 0}});
  // M1 = 6 (0 - 200 + 0) / (4 h^2) = -1200; S(0.25) = 50 - h^2 / 16 * M1 = 68.75.
  EXPECT_EQ(ToRows(*Resample(line, 5, 1, Bicubic)), (std::vector<std::vector<int>>{{0, 68, 100, 68, 0}}));
}

TEST(Resample, BicubicMatchesTheSeparableSplineOnRandomPictures)
{
  cImage source;
  source.SetSize(7, 5, 1);
  kvtest::FillRandom(*source.GetSurface(), 7, 5, 1, 11);
  const int newW = 11, newH = 9;
  auto result = Resample(source, newW, newH, Bicubic);
  cBMPSurface& s = *source.GetSurface();
  cBMPSurface& r = *result->GetSurface();
  int exact = 0;
  for (int j = 0; j < newH; ++j) {
    std::vector<double> row(7);
    for (int x = 0; x < 7; ++x) {
      std::vector<double> column(5);
      for (int y = 0; y < 5; ++y) column[size_t(y)] = kvtest::Pixel(s, x, y);
      row[size_t(x)] = NaturalSpline(column, double(j) / (newH - 1));
    }
    for (int k = 0; k < newW; ++k) {
      const double v = NaturalSpline(row, double(k) / (newW - 1));
      const int expected = int(std::clamp(std::trunc(v), 0.0, 255.0));
      const int got = kvtest::Pixel(r, k, j);
      // Truncation may fall either side when the exact value is an integer.
      EXPECT_LE(std::abs(got - expected), 1) << k << "," << j << " " << v;
      exact += got == expected;
    }
  }
  EXPECT_GE(exact, newW * newH - 3);
}

TEST(Resample, BicubicOfAConstantPictureIsThatConstant)
{
  for (int value : {0, 1, 137, 255}) {
    cImage source;
    source.SetSize(9, 7, 3);
    kvtest::Fill(*source.GetSurface(), 9, 7, 3, [&](int, int, int) { return uint8_t(value); });
    for (auto [w, h] : {std::pair{17, 13}, std::pair{4, 3}, std::pair{9, 7}}) {
      auto result = Resample(source, w, h, Bicubic);
      cBMPSurface& r = *result->GetSurface();
      ASSERT_EQ(r.GetWidth(), w);
      for (int c = 0; c < 3; ++c)
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) ASSERT_EQ(kvtest::Pixel(r, x, y, c), value) << value << " " << x << "," << y;
    }
  }
}

TEST(Resample, BicubicOvershootIsLimitedNotWrapped)
{
  cImage source;
  FromRows(source, {{0, 0, 0, 255, 255, 255}, {255, 255, 255, 0, 0, 0}});
  auto result = Resample(source, 41, 2, Bicubic);
  const auto rows = ToRows(*result);
  // The spline rings past both ends of the step; wrapped values would put 0-ish samples on the
  // bright side and 255-ish ones on the dark side.
  for (int k = 0; k < 41; ++k) {
    const double t = double(k) / 40.0;
    if (t > 0.65) {
      EXPECT_GE(rows[0][size_t(k)], 200) << k;
      EXPECT_LE(rows[1][size_t(k)], 50) << k;
    }
    if (t < 0.35) {
      EXPECT_LE(rows[0][size_t(k)], 50) << k;
      EXPECT_GE(rows[1][size_t(k)], 200) << k;
    }
  }
  std::vector<double> step{0, 0, 0, 255, 255, 255};
  bool overshoots = false;
  for (int k = 0; k < 41; ++k) overshoots |= NaturalSpline(step, k / 40.0) >= 256.0;
  EXPECT_TRUE(overshoots) << "the picture must actually ring past 255 for this case to mean anything";
}

TEST(Resample, ColourChannelsAreResampledIndependently)
{
  cImage colour;
  colour.SetSize(5, 7, 3);
  kvtest::FillRandom(*colour.GetSurface(), 5, 7, 3, 3);
  for (int method : {NearestNeighbor, Bilinear, Bicubic}) {
    auto result = Resample(colour, 9, 4, method);
    ASSERT_EQ(result->GetChannelsCount(), 3);
    for (int c = 0; c < 3; ++c) {
      cImage plane;
      plane.SetSize(5, 7, 1);
      kvtest::Fill(*plane.GetSurface(), 5, 7, 1,
                   [&](int x, int y, int) { return kvtest::Pixel(*colour.GetSurface(), x, y, c); });
      auto grey = Resample(plane, 9, 4, method);
      EXPECT_EQ(ToRows(*result, c), ToRows(*grey)) << "method " << method << " channel " << c;
    }
  }
}

TEST(Resample, ZeroAndOneSampleSizesNeitherDivideByZeroNorCrash)
{
  cImage source;
  FromRows(source, {{1, 2, 3}, {4, 5, 6}});
  for (int method : {NearestNeighbor, Bilinear, Bicubic}) {
    for (auto [w, h] : {std::pair{0, 0}, std::pair{0, 4}, std::pair{4, 0}}) {
      auto empty = Resample(source, w, h, method);
      EXPECT_EQ(empty->GetWidth() * empty->GetHeight(), 0);
    }
  }
  // One result sample takes the first source sample of its line ("Bilinear" averages around it).
  EXPECT_EQ(ToRows(*Resample(source, 1, 1, NearestNeighbor)), (std::vector<std::vector<int>>{{1}}));
  EXPECT_EQ(ToRows(*Resample(source, 1, 1, Bilinear)), (std::vector<std::vector<int>>{{3}}));
  EXPECT_EQ(ToRows(*Resample(source, 1, 1, Bicubic)), (std::vector<std::vector<int>>{{1}}));
  EXPECT_EQ(ToRows(*Resample(source, 1, 3, Bicubic)), (std::vector<std::vector<int>>{{1}, {2}, {4}}));
  EXPECT_EQ(ToRows(*Resample(source, 5, 1, Bicubic)), (std::vector<std::vector<int>>{{1, 1, 2, 2, 3}}));

  // One source sample per line: every result sample of that line takes it.
  cImage dot;
  FromRows(dot, {{77}});
  for (int method : {NearestNeighbor, Bilinear, Bicubic})
    EXPECT_EQ(ToRows(*Resample(dot, 3, 2, method)), (std::vector<std::vector<int>>{{77, 77, 77}, {77, 77, 77}}));
  cImage column;
  FromRows(column, {{10}, {20}, {30}});
  EXPECT_EQ(ToRows(*Resample(column, 2, 5, Bicubic)),
            (std::vector<std::vector<int>>{{10, 10}, {15, 15}, {20, 20}, {25, 25}, {30, 30}}));

  // A source without pixels leaves the zeroed result of the requested size.
  cImage nothing;
  nothing.SetSize(0, 0, 1);
  for (int method : {NearestNeighbor, Bilinear, Bicubic}) {
    auto result = Resample(nothing, 2, 2, method);
    EXPECT_EQ(ToRows(*result), (std::vector<std::vector<int>>{{0, 0}, {0, 0}}));
  }
}

TEST(Resample, ResizesWholePictureWhateverTheRegionAndTitlesTheResult)
{
  cImage source;
  source.SetSize(6, 6, 3);
  kvtest::FillRandom(*source.GetSurface(), 6, 6, 3, 5);
  cResampleOperation op;
  kvtest::SetParam(op, "NewWidth", 4);
  kvtest::SetParam(op, "NewHeight", 9);
  cImage result;
  result.SetWholeImage(false);
  result.SetProcessingRect(sRect{1, 1, 2, 2});
  op.SetInterfaces(&source, &result);
  tTerminateFlag terminated{false};
  op.Execute(terminated);
  EXPECT_EQ(result.GetWidth(), 4);
  EXPECT_EQ(result.GetHeight(), 9);
  EXPECT_EQ(result.GetChannelsCount(), 3);
  EXPECT_EQ(result.GetTitle(), "Resample " + op.GetShortInfoString());
  EXPECT_EQ(result.PercentDone.load(), 100);

  tTerminateFlag stop{true};
  kvtest::SetParam(op, "ResampleType", Bicubic);
  op.Execute(stop);
  EXPECT_EQ(result.GetTitle(), "Resample(Terminated!)");
  EXPECT_LT(result.PercentDone.load(), 100);
}
