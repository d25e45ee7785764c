// pkGeometric: hand-placed pixels, round trips on odd sizes, the package's list.
#include <gtest/gtest.h>

#include <vector>

#include "FlipHorizontal.h"
#include "FlipVertical.h"
#include "KvTestSupport.h"
#include "Rotate180.h"
#include "Rotate90CCW.h"
#include "Rotate90CW.h"

namespace {

using tRows = std::vector<std::vector<int>>;

void FromRows(cImage& image, const tRows& rows)
{
  const int h = int(rows.size());
  const int w = int(rows[0].size());
  image.SetSize(w, h, 1);
  kvtest::Fill(*image.GetSurface(), w, h, 1, [&](int x, int y, int) { return uint8_t(rows[size_t(y)][size_t(x)]); });
}

tRows ToRows(cImage& image)
{
  cBMPSurface& s = *image.GetSurface();
  tRows rows(size_t(s.GetHeight()), std::vector<int>(size_t(s.GetWidth())));
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x) rows[size_t(y)][size_t(x)] = kvtest::Pixel(s, x, y);
  return rows;
}

// Runs the operations one after another, each on the previous result.
std::unique_ptr<cImage> Chain(cImage& source, std::initializer_list<acOperation*> ops)
{
  auto current = std::make_unique<cImage>();
  current->MakeCopyFrom(source);
  for (acOperation* op : ops) current = kvtest::RunOperation(*op, *current);
  return current;
}

}  // namespace

TEST(Geometric, EachTransformPlacesPixelsWhereItShould)
{
  cImage source;
  FromRows(source, {{1, 2, 3}, {4, 5, 6}});
  FlipHorizontal flipH;
  FlipVertical flipV;
  Rotate180 half;
  Rotate90CW cw;
  Rotate90CCW ccw;
  EXPECT_EQ(ToRows(*kvtest::RunOperation(flipH, source)), (tRows{{3, 2, 1}, {6, 5, 4}}));
  EXPECT_EQ(ToRows(*kvtest::RunOperation(flipV, source)), (tRows{{4, 5, 6}, {1, 2, 3}}));
  EXPECT_EQ(ToRows(*kvtest::RunOperation(half, source)), (tRows{{6, 5, 4}, {3, 2, 1}}));
  EXPECT_EQ(ToRows(*kvtest::RunOperation(cw, source)), (tRows{{4, 1}, {5, 2}, {6, 3}}));
  EXPECT_EQ(ToRows(*kvtest::RunOperation(ccw, source)), (tRows{{3, 6}, {2, 5}, {1, 4}}));
}

TEST(Geometric, RoundTripsReturnTheInputOnOddSizes)
{
  FlipHorizontal flipH;
  FlipVertical flipV;
  Rotate180 half;
  Rotate90CW cw;
  Rotate90CCW ccw;
  for (int channels : {1, 3})
    for (auto [w, h] : {std::pair{7, 5}, std::pair{1, 9}, std::pair{13, 1}, std::pair{3, 3}}) {
      cImage source;
      source.SetSize(w, h, channels);
      kvtest::FillRandom(*source.GetSurface(), w, h, channels, uint32_t(w * 31 + h + channels));
      SCOPED_TRACE(testing::Message() << w << "x" << h << "x" << channels);
      EXPECT_TRUE(kvtest::SamePixels(*Chain(source, {&flipH, &flipH})->GetSurface(), *source.GetSurface()));
      EXPECT_TRUE(kvtest::SamePixels(*Chain(source, {&flipV, &flipV})->GetSurface(), *source.GetSurface()));
      EXPECT_TRUE(kvtest::SamePixels(*Chain(source, {&half, &half})->GetSurface(), *source.GetSurface()));
      EXPECT_TRUE(kvtest::SamePixels(*Chain(source, {&cw, &ccw})->GetSurface(), *source.GetSurface()));
      EXPECT_TRUE(kvtest::SamePixels(*Chain(source, {&ccw, &cw})->GetSurface(), *source.GetSurface()));
      EXPECT_TRUE(kvtest::SamePixels(*Chain(source, {&cw, &cw, &cw, &cw})->GetSurface(), *source.GetSurface()));
      // Two flips make a half turn, two quarter turns too.
      EXPECT_TRUE(
          kvtest::SamePixels(*Chain(source, {&flipH, &flipV})->GetSurface(), *Chain(source, {&half})->GetSurface()));
      EXPECT_TRUE(
          kvtest::SamePixels(*Chain(source, {&ccw, &ccw})->GetSurface(), *Chain(source, {&half})->GetSurface()));
      auto turned = Chain(source, {&cw});
      EXPECT_EQ(turned->GetWidth(), h);
      EXPECT_EQ(turned->GetHeight(), w);
      EXPECT_EQ(turned->GetChannelsCount(), channels);
    }
}

TEST(Geometric, ColourChannelsStayInPlace)
{
  cImage source;
  source.SetSize(3, 2, 3);
  kvtest::Fill(*source.GetSurface(), 3, 2, 3, [](int x, int y, int c) { return uint8_t(100 * c + 10 * y + x); });
  Rotate90CW cw;
  auto result = kvtest::RunOperation(cw, source);
  cBMPSurface& r = *result->GetSurface();
  // Source (2, 1) lands at (H - 1 - 1, 2) = (0, 2) with its blue, green and red.
  for (int c = 0; c < 3; ++c) EXPECT_EQ(kvtest::Pixel(r, 0, 2, c), 100 * c + 12);
}

TEST(Geometric, PackageListsFiveTransformsInOrder)
{
  kvtest::MessageEnvironment env;
  cOperationPool pool;
  pool.LoadOperationsFromPackage(std::string(KV_PLUGIN_DIR) + "pkGeometric.so");
  ASSERT_EQ(pool.GetOperationsCount(), 6u);
  const char* names[] = {"Flip Horizontal", "Flip Vertical", "Rotate 180", "Rotate 90 CCW", "Rotate 90 CW"};
  for (unsigned i = 0; i < 5; ++i) {
    acOperation* op = pool.LookForOperationByUID(i + 2);
    EXPECT_EQ(op->GetName(), names[i]);
    EXPECT_EQ(op->GetGroupName(), "Geometric");
    EXPECT_EQ(op->GetOperationType(), "otBuiltIn");
    EXPECT_EQ(op->GetFormMode(), 0);
    EXPECT_TRUE(op->TotalVariation);
    EXPECT_FALSE(op->RGBOnly);
    EXPECT_EQ(op->GetParams()->GetParamsCount(), 0);
  }
}
