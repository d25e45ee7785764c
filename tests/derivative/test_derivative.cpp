#include <gtest/gtest.h>

#include "DifferentFilter.h"
#include "FilterChecks.h"
#include "GradientFilter.h"
#include "LaplasianFilter.h"
#include "ParamSupport.h"

using kvtest::At;
using kvtest::RunOperation;
using kvtest::SetParam;

namespace {

bool AllZero(cImage& image)
{
  for (int y = 0; y < image.GetHeight(); ++y)
    for (int x = 0; x < image.GetWidth(); ++x)
      for (int c = 0; c < image.GetChannelsCount(); ++c)
        if (At(image, x, y, c) != 0) return false;
  return true;
}

// The row form must give exactly what the per-sample path gives, on the probe pictures whole
// and on a rectangle touching the right border.
void ExpectRowsEqualPixels(acSingleChannelOperation& op, const std::string& label)
{
  for (auto& picture : kvtest::ProbePictures()) {
    const sRect rect{picture->GetWidth() / 2, 0, picture->GetWidth(), (picture->GetHeight() + 1) / 2};
    for (bool whole : {true, false}) {
      op.SetPixelReference(true);
      auto plain = whole ? RunOperation(op, *picture) : kvtest::RunOperation(op, *picture, rect);
      op.SetPixelReference(false);
      auto rows = whole ? RunOperation(op, *picture) : kvtest::RunOperation(op, *picture, rect);
      EXPECT_TRUE(op.RanByRows()) << label;
      EXPECT_TRUE(kvtest::SamePixels(*plain->GetSurface(), *rows->GetSurface()))
          << label << " on " << picture->GetWidth() << "x" << picture->GetHeight() << "x" << picture->GetChannelsCount()
          << (whole ? "" : ", a rectangle");
    }
  }
}

}  // namespace

TEST(MathPackage, RegistersTheThreeFiltersInOrder)
{
  const std::vector<std::string> expected{"Different Filter", "Laplasian Filter", "Gradient Filter"};
  EXPECT_EQ(kvtest::PackageOperationNames("010pkMath.so"), expected);
  LaplasianFilter l;
  EXPECT_EQ(l.GetFormMode(), 0);
  EXPECT_EQ(l.GetParams()->GetParamsCount(), 0);
  GradientFilter g;
  EXPECT_EQ(g.GetFormMode(), 1);
  EXPECT_EQ(kvtest::Param(g, "Operator").GetEnumString(1), "Sobel");
}

TEST(Derivatives, ConstantPictureGivesZero)
{
  cImage flat;
  kvtest::Fill(*flat.GetSurface(), 9, 8, 3, [](int, int, int c) { return uint8_t(90 + c); });
  DifferentFilter d;
  for (int dx : {1, 2, 5, 20})
    for (int dy : {0, 3}) {
      SetParam(d, "Degree X", dx);
      SetParam(d, "Degree Y", dy);
      EXPECT_TRUE(AllZero(*RunOperation(d, flat))) << dx << "," << dy;
    }
  LaplasianFilter l;
  EXPECT_TRUE(AllZero(*RunOperation(l, flat)));
  GradientFilter g;
  EXPECT_TRUE(AllZero(*RunOperation(g, flat)));
  kvtest::SetParam(g, "Operator", 1);
  SetParam(g, "Perfect", true);
  EXPECT_TRUE(AllZero(*RunOperation(g, flat)));
}

TEST(Derivatives, DifferenceOfZeroDegreesReproducesThePicture)
{
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 7, 5, 3, 4);
  DifferentFilter d;
  EXPECT_TRUE(kvtest::SamePixels(*RunOperation(d, source)->GetSurface(), *source.GetSurface()));
}

TEST(Derivatives, DifferencesOnRampsAndSteps)
{
  DifferentFilter d;
  cImage ramp;
  kvtest::Fill(*ramp.GetSurface(), 10, 3, 1, [](int x, int, int) { return uint8_t(7 * x + 3); });
  SetParam(d, "Degree X", 1);
  auto first = RunOperation(d, ramp);
  for (int x = 1; x < 10; ++x) EXPECT_EQ(At(*first, x, 1), 7);
  SetParam(d, "Degree X", 3);
  auto third = RunOperation(d, ramp);
  for (int x = 3; x < 10; ++x) EXPECT_EQ(At(*third, x, 1), 0) << x;

  cImage step;
  kvtest::Rows(*step.GetSurface(), {{0, 0, 0, 8}});
  EXPECT_EQ(At(*RunOperation(d, step), 3, 0), 8);
  // Second difference |g(x) - 2 g(x-1) + g(x-2)|, and the vertical direction.
  SetParam(d, "Degree X", 2);
  EXPECT_EQ(At(*RunOperation(d, step), 3, 0), 8);
  cImage column;
  kvtest::Rows(*column.GetSurface(), {{5}, {9}, {30}});
  SetParam(d, "Degree X", 0);
  SetParam(d, "Degree Y", 2);
  EXPECT_EQ(At(*RunOperation(d, column), 0, 2), 30 - 18 + 5);
}

TEST(Derivatives, HighDegreesSaturateInsteadOfOverflowing)
{
  // On a checkerboard every term of the 20 x 20 mixed difference has the same sign: the sum
  // is 255 * 2^39, far beyond 32 bits, and must come out as 255.
  cImage board;
  kvtest::Fill(*board.GetSurface(), 26, 26, 1, [](int x, int y, int) { return uint8_t((x + y) % 2 ? 0 : 255); });
  DifferentFilter d;
  SetParam(d, "Degree X", 20);
  SetParam(d, "Degree Y", 20);
  auto result = RunOperation(d, board);
  for (int y = 20; y < 26; ++y)
    for (int x = 20; x < 26; ++x) ASSERT_EQ(At(*result, x, y), 255) << x << "," << y;
}

TEST(Derivatives, LaplacianOfRampsAndImpulses)
{
  cImage ramp;
  kvtest::Fill(*ramp.GetSurface(), 8, 8, 1, [](int x, int y, int) { return uint8_t(10 * x + 5 * y); });
  LaplasianFilter l;
  auto result = RunOperation(l, ramp);
  for (int y = 2; y < 8; ++y)
    for (int x = 2; x < 8; ++x) ASSERT_EQ(At(*result, x, y), 0);
  cImage dot;
  kvtest::Fill(*dot.GetSurface(), 6, 6, 1, [](int x, int y, int) { return uint8_t(x == 3 && y == 3 ? 50 : 0); });
  auto r = RunOperation(l, dot);
  EXPECT_EQ(At(*r, 3, 3), 100);  // 2 g
  EXPECT_EQ(At(*r, 4, 3), 100);  // |-2 g|
  EXPECT_EQ(At(*r, 5, 3), 50);
  kvtest::Fill(*dot.GetSurface(), 6, 6, 1, [](int x, int y, int) { return uint8_t(x == 3 && y == 3 ? 200 : 0); });
  EXPECT_EQ(At(*RunOperation(l, dot), 3, 3), 255);
}

TEST(Derivatives, GradientOperatorsFactorAndMagnitude)
{
  // A vertical edge: 0 left of x = 4, 30 from x = 4 on.
  cImage edge;
  kvtest::Fill(*edge.GetSurface(), 8, 6, 1, [](int x, int, int) { return uint8_t(x < 4 ? 0 : 30); });
  GradientFilter g;
  // Roberts at (3, 2): Gy = g(4,3) - g(3,2) = 30, Gx = g(3,3) - g(4,2) = -30: |Gx| + |Gy| = 60.
  EXPECT_EQ(At(*RunOperation(g, edge), 3, 2), 60);
  SetParam(g, "Perfect", true);
  EXPECT_EQ(At(*RunOperation(g, edge), 3, 2), 42);  // sqrt(1800) = 42.4
  SetParam(g, "Factor", 2.5);
  EXPECT_EQ(At(*RunOperation(g, edge), 3, 2), 106);  // 42.43 * 2.5 = 106.07
  // Sobel at (3, 2): Gx = 4 * 30 = 120, Gy = 0.
  kvtest::SetParam(g, "Operator", 1);
  SetParam(g, "Perfect", false);
  SetParam(g, "Factor", 1.0);
  EXPECT_EQ(At(*RunOperation(g, edge), 3, 2), 120);
  SetParam(g, "Factor", 4.0);
  EXPECT_EQ(At(*RunOperation(g, edge), 3, 2), 255);
  SetParam(g, "Factor", 0.0);
  cImage noise;
  kvtest::FillRandom(*noise.GetSurface(), 9, 9, 3, 8);
  EXPECT_TRUE(AllZero(*RunOperation(g, noise)));
}

TEST(Derivatives, ChannelsAreFilteredIndependently)
{
  DifferentFilter d;
  SetParam(d, "Degree X", 2);
  SetParam(d, "Degree Y", 1);
  LaplasianFilter l;
  GradientFilter g;
  kvtest::SetParam(g, "Operator", 1);
  kvtest::ExpectChannelsIndependent(d);
  kvtest::ExpectChannelsIndependent(l);
  kvtest::ExpectChannelsIndependent(g);
}

TEST(DerivativeRowForms, EqualThePerSamplePath)
{
  DifferentFilter d;
  for (int dx : {0, 1, 3, 20})
    for (int dy : {0, 2, 7}) {
      SetParam(d, "Degree X", dx);
      SetParam(d, "Degree Y", dy);
      ExpectRowsEqualPixels(d, "Different " + std::to_string(dx) + "," + std::to_string(dy));
    }
  LaplasianFilter l;
  ExpectRowsEqualPixels(l, "Laplasian");
  GradientFilter g;
  for (int op : {0, 1})
    for (bool perfect : {false, true}) {
      kvtest::SetParam(g, "Operator", op);
      SetParam(g, "Perfect", perfect);
      SetParam(g, "Factor", 1.7);
      ExpectRowsEqualPixels(g, "Gradient " + std::to_string(op) + (perfect ? " perfect" : ""));
    }
}
