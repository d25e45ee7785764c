#include <gtest/gtest.h>

#include "KvTestSupport.h"

TEST(BorderRule, MirrorsLeftWithoutAndRightWithEdgePixel)
{
  cBMPSurface s;
  kvtest::Fill(s, 10, 10, 1, [](int x, int y, int) { return uint8_t(x + 10 * y); });
  EXPECT_EQ(s.GetPixel(-1, 0), 1);
  EXPECT_EQ(s.GetPixel(10, 0), 9);
  EXPECT_EQ(s.GetPixel(11, 0), 8);
  EXPECT_EQ(s.GetPixel(-15, 0), 4);
}

TEST(PackageSmoke, ColourPackageLoadsAndInverts)
{
  kvtest::MessageEnvironment env;
  cOperationPool pool;
  pool.LoadOperationsFromPackage(KV_PLUGIN_DIR "pkColor.so");
  ASSERT_EQ(pool.GetOperationsCount(), 3u);
  EXPECT_EQ(env.Observer.Messages.size(), 2u);
  acOperation* invert = kvtest::FindOperation(pool, "Invert");
  ASSERT_NE(invert, nullptr);
  cImage source;
  kvtest::Fill(*source.GetSurface(), 3, 2, 3, [](int x, int, int c) { return uint8_t(x * 100 + c); });
  auto result = kvtest::RunOperation(*invert, source);
  EXPECT_EQ(kvtest::Pixel(*result->GetSurface(), 2, 1, 1), 255 - 201);
  EXPECT_EQ(result->GetTitle(), "Invert ()");
  EXPECT_EQ(result->PercentDone.load(), 100);
}
