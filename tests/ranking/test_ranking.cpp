#include <gtest/gtest.h>

#include "FilterChecks.h"
#include "MaxMinFilter.h"
#include "MaximumFilter.h"
#include "MinimumFilter.h"
#include "ParamSupport.h"

using kvtest::At;
using kvtest::RunOperation;
using kvtest::SetParam;

namespace {

// Background 120 with isolated impulses of the given value on a sparse grid, at least two
// samples from every edge (the border rule mirrors samples near the edges into the windows).
void Impulses(cImage& image, uint8_t impulse)
{
  kvtest::Fill(*image.GetSurface(), 17, 13, 1,
               [&](int x, int y, int) { return uint8_t(x % 4 == 2 && y % 4 == 2 ? impulse : 120); });
}

bool AllEqual(cImage& image, uint8_t v)
{
  for (int y = 0; y < image.GetHeight(); ++y)
    for (int x = 0; x < image.GetWidth(); ++x)
      if (At(image, x, y) != v) return false;
  return true;
}

}  // namespace

TEST(RankingPackage, RegistersTheThreeFiltersInOrder)
{
  const std::vector<std::string> expected{"Maximum Filter", "Minimum Filter", "Max-Min Filter"};
  EXPECT_EQ(kvtest::PackageOperationNames("040pkRanking.so"), expected);
  MaxMinFilter f;
  ASSERT_EQ(f.GetParams()->GetParamsCount(), 4);
  const cOperationParameter& sequence = kvtest::Param(f, "Filter sequence");
  EXPECT_EQ(sequence.GetEnumString(1), "Min-max");
  EXPECT_EQ(sequence.GetEnumSelectedIndex(), 0);
}

TEST(MaxMin, OneByOneWindowCopies)
{
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 9, 7, 3, 11);
  MaximumFilter mx;
  MinimumFilter mn;
  MaxMinFilter mm;
  for (acOperation* op : std::initializer_list<acOperation*>{&mx, &mn, &mm}) {
    SetParam(*op, "Window width", 1);
    SetParam(*op, "Window height", 1);
    EXPECT_TRUE(kvtest::SamePixels(*RunOperation(*op, source)->GetSurface(), *source.GetSurface())) << op->GetName();
  }
}

TEST(MaxMin, WindowOrientationDiffersBetweenTheFilters)
{
  // 200 right of (2, 2), 150 below it.
  cImage source;
  kvtest::Fill(*source.GetSurface(), 5, 5, 1, [](int x, int y, int) {
    if (x == 3 && y == 2) return uint8_t(200);
    if (x == 2 && y == 3) return uint8_t(150);
    return uint8_t(10);
  });
  MaximumFilter mx;
  SetParam(mx, "Window width", 1);
  SetParam(mx, "Window height", 3);
  EXPECT_EQ(At(*RunOperation(mx, source), 2, 2), 200);  // three horizontally adjacent samples
  MaxMinFilter mm;
  SetParam(mm, "Window width", 1);
  SetParam(mm, "Window height", 3);
  // Max over (2,1..3) gives 150 at (2,2); (2,1) sees 10; then min over the column: 10.
  // A vertical max-min leaves the horizontal 200's neighbour untouched.
  auto result = RunOperation(mm, source);
  EXPECT_EQ(At(*result, 2, 3), 150);
  EXPECT_EQ(At(*result, 3, 2), 200);
  EXPECT_EQ(At(*result, 2, 2), 10);
}

TEST(MaxMin, MaximumAndMinimumOfAWindow)
{
  cImage source;
  kvtest::Rows(*source.GetSurface(), {{5, 9, 3}, {7, 4, 8}, {6, 2, 1}});
  MaximumFilter mx;
  MinimumFilter mn;
  EXPECT_EQ(At(*RunOperation(mx, source), 1, 1), 9);
  EXPECT_EQ(At(*RunOperation(mn, source), 1, 1), 1);
}

TEST(MaxMin, MaxMinRemovesPepperAndKeepsSalt)
{
  MaxMinFilter mm;
  cImage pepper, salt;
  Impulses(pepper, 0);
  Impulses(salt, 255);
  EXPECT_TRUE(AllEqual(*RunOperation(mm, pepper), 120));
  EXPECT_TRUE(kvtest::SamePixels(*RunOperation(mm, salt)->GetSurface(), *salt.GetSurface()));
  kvtest::SetParam(mm, "Filter sequence", 1);
  EXPECT_TRUE(AllEqual(*RunOperation(mm, salt), 120));
  EXPECT_TRUE(kvtest::SamePixels(*RunOperation(mm, pepper)->GetSurface(), *pepper.GetSurface()));
  // The single passes: maximum removes pepper, minimum removes salt.
  MaximumFilter mx;
  MinimumFilter mn;
  EXPECT_EQ(At(*RunOperation(mx, pepper), 2, 2), 120);
  EXPECT_EQ(At(*RunOperation(mn, salt), 2, 2), 120);
}

TEST(MaxMin, RectangleAtTheBorderMatchesTheWholeRun)
{
  // A preview rectangle must show what the full run gives inside it, also for even windows
  // whose first-pass margin would reach past the right and bottom edges.
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 14, 10, 3, 17);
  MaxMinFilter mm;
  for (int seq : {0, 1})
    for (int w : {2, 3, 4})
      for (bool recursive : {false, true}) {
        SetParam(mm, "Window width", w);
        SetParam(mm, "Window height", w + 1);
        SetParam(mm, "Recursive executing", recursive);
        kvtest::SetParam(mm, "Filter sequence", seq);
        if (recursive) continue;  // a recursive run depends on where it starts
        auto whole = RunOperation(mm, source);
        for (const sRect rect : {sRect{9, 6, 14, 10}, sRect{0, 0, 4, 3}, sRect{5, 0, 14, 2}}) {
          auto part = kvtest::RunOperation(mm, source, rect);
          for (int y = rect.Top; y < rect.Bottom; ++y)
            for (int x = rect.Left; x < rect.Right; ++x)
              for (int c = 0; c < 3; ++c)
                ASSERT_EQ(At(*part, x, y, c), At(*whole, x, y, c))
                    << "seq " << seq << " w " << w << " at " << x << "," << y;
        }
      }
}

TEST(MaxMin, StopRequestEndsTheRunEarly)
{
  cImage source;
  Impulses(source, 0);
  MaxMinFilter mm;
  auto result = std::make_unique<cImage>();
  mm.SetInterfaces(&source, result.get());
  tTerminateFlag terminated{true};
  mm.Execute(terminated);
  EXPECT_EQ(result->GetTitle(), "Max-Min Filter(Terminated!)");
  // Only the first sample of the first pass was written, into the temporary surface.
  EXPECT_TRUE(kvtest::SamePixels(*result->GetSurface(), *source.GetSurface()));
}

TEST(MaxMin, ChannelsAreFilteredIndependently)
{
  MaximumFilter mx;
  MinimumFilter mn;
  MaxMinFilter mm;
  SetParam(mm, "Window width", 2);
  kvtest::ExpectChannelsIndependent(mx);
  kvtest::ExpectChannelsIndependent(mn);
  kvtest::ExpectChannelsIndependent(mm);
}

TEST(MaxMin, PixelsOutsideTheRectangleKeepTheSource)
{
  // The first pass runs over a margin around the rectangle; that margin must not show in the
  // result.
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 16, 12, 3, 23);
  MaxMinFilter mm;
  for (int seq : {0, 1}) {
    kvtest::SetParam(mm, "Filter sequence", seq);
    const sRect rect{5, 4, 11, 8};
    auto part = kvtest::RunOperation(mm, source, rect);
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 16; ++x)
        for (int c = 0; c < 3; ++c)
          if (x < rect.Left || x >= rect.Right || y < rect.Top || y >= rect.Bottom) {
            ASSERT_EQ(At(*part, x, y, c), At(source, x, y, c)) << "seq " << seq << " at " << x << "," << y;
          }
  }
}

TEST(MaxMin, ThreeByThreeRowsEqualTheReferenceAtEveryVectorBoundary)
{
  // Widths around the 32-byte chunks of the vector loop and its overlapping last chunk, grey
  // and colour, on random pictures whose extremes change from sample to sample.
  MaximumFilter mx;
  MinimumFilter mn;
  uint32_t seed = 40;
  for (acOperation* op : std::initializer_list<acOperation*>{&mx, &mn})
    for (int channels : {1, 3})
      for (int width : {31, 33, 34, 35, 63, 64, 65, 66, 67, 97, 130, 131, 200}) {
        cImage source;
        kvtest::FillRandom(*source.GetSurface(), width, 4, channels, seed++);
        EXPECT_TRUE(kvtest::RowFormMatchesReference(static_cast<acSingleChannelOperation&>(*op), source))
            << op->GetName() << " " << width << " x 4 x " << channels;
      }
}
