// pkColor: "Invert" and "Desaturate".
#include <gtest/gtest.h>

#include "Desaturate.h"
#include "InvertFilter.h"
#include "KvTestSupport.h"

TEST(Color, InvertSwapsBlackAndWhiteInEveryChannelAndUndoesItself)
{
  InvertFilter invert;
  for (int channels : {1, 3}) {
    cImage source;
    source.SetSize(5, 3, channels);
    kvtest::Fill(*source.GetSurface(), 5, 3, channels, [](int x, int y, int c) {
      return uint8_t(x == 0 ? 0 : x == 1 ? 255 : (37 * x + 11 * y + 5 * c));
    });
    auto once = kvtest::RunOperation(invert, source);
    for (int c = 0; c < channels; ++c)
      for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(kvtest::Pixel(*once->GetSurface(), 0, y, c), 255);
        EXPECT_EQ(kvtest::Pixel(*once->GetSurface(), 1, y, c), 0);
        EXPECT_EQ(kvtest::Pixel(*once->GetSurface(), 3, y, c), 255 - (37 * 3 + 11 * y + 5 * c));
      }
    auto twice = kvtest::RunOperation(invert, *once);
    EXPECT_TRUE(kvtest::SamePixels(*twice->GetSurface(), *source.GetSurface()));
  }
}

TEST(Color, DesaturateAveragesChannelsIntoOneChannel)
{
  Desaturate desaturate;
  cImage source;
  source.SetSize(3, 2, 3);
  const uint8_t bgr[6][3] = {{254, 255, 255}, {0, 0, 0}, {1, 1, 2}, {10, 20, 31}, {255, 255, 255}, {0, 0, 2}};
  kvtest::Fill(*source.GetSurface(), 3, 2, 3, [&](int x, int y, int c) { return bgr[y * 3 + x][c]; });
  source.SetWholeImage(true);
  cImage result;
  result.SetWholeImage(false);  // the whole picture is converted whatever the region
  result.SetProcessingRect(sRect{1, 1, 2, 2});
  desaturate.SetInterfaces(&source, &result);
  tTerminateFlag terminated{false};
  desaturate.Execute(terminated);
  ASSERT_EQ(result.GetChannelsCount(), 1);
  ASSERT_EQ(result.GetWidth(), 3);
  ASSERT_EQ(result.GetHeight(), 2);
  const int expected[6] = {254, 0, 1, 20, 255, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(kvtest::Pixel(*result.GetSurface(), i % 3, i / 3), expected[i]) << i;
  EXPECT_EQ(result.PercentDone.load(), 100);
  EXPECT_EQ(result.GetTitle(), "Desaturate " + desaturate.GetShortInfoString());
}

TEST(Color, DesaturateStopsWhenAsked)
{
  Desaturate desaturate;
  cImage source;
  source.SetSize(4, 4, 3);
  kvtest::FillRandom(*source.GetSurface(), 4, 4, 3, 1);
  cImage result;
  desaturate.SetInterfaces(&source, &result);
  tTerminateFlag terminated{true};
  desaturate.Execute(terminated);
  EXPECT_EQ(result.GetTitle(), "Desaturate(Terminated!)");
  EXPECT_EQ(result.GetChannelsCount(), 1);
  EXPECT_LT(result.PercentDone.load(), 100);
}

TEST(Color, PackageListsDesaturateThenInvert)
{
  kvtest::MessageEnvironment env;
  cOperationPool pool;
  pool.LoadOperationsFromPackage(std::string(KV_PLUGIN_DIR) + "pkColor.so");
  ASSERT_EQ(pool.GetOperationsCount(), 3u);
  acOperation* desaturate = pool.LookForOperationByUID(2);
  acOperation* invert = pool.LookForOperationByUID(3);
  EXPECT_EQ(desaturate->GetName(), "Desaturate");
  EXPECT_EQ(desaturate->GetGroupName(), "Color");
  EXPECT_TRUE(desaturate->TotalVariation);
  EXPECT_TRUE(desaturate->RGBOnly);
  EXPECT_EQ(invert->GetName(), "Invert");
  EXPECT_EQ(invert->GetGroupName(), "Built-in");
  EXPECT_FALSE(invert->TotalVariation);
  EXPECT_FALSE(invert->RGBOnly);
  for (acOperation* op : {desaturate, invert}) {
    EXPECT_EQ(op->GetOperationType(), "otBuiltIn");
    EXPECT_EQ(op->GetFormMode(), 0);
  }
}
