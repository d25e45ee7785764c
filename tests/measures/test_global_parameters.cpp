// The settings object: column count and the change announcement.
#include <gtest/gtest.h>

#include "KvTestSupport.h"
#include "kvRuntime/cuGlobalParameters.h"

TEST(GlobalParameters, DefaultsAndColumnCount)
{
  cuGlobalParameters p;
  EXPECT_EQ(p.QualityWindowWidth, 5);
  EXPECT_EQ(p.QualityWindowHeight, 5);
  EXPECT_DOUBLE_EQ(p.K1, 0.01);
  EXPECT_DOUBLE_EQ(p.K2, 0.03);
  EXPECT_EQ(p.TimeUnit, 1);
  EXPECT_FALSE(p.CriteriaSettingsChanged);
  EXPECT_EQ(p.GetHistoryColsCount(), 5);
  p.ShowPSNR = p.ShowMSE = p.ShowIQ = p.ShowIQHVS = p.ShowSSIM = p.ShowTime = false;
  EXPECT_EQ(p.GetHistoryColsCount(), 0);
  p.ShowMSE = true;
  EXPECT_EQ(p.GetHistoryColsCount(), 1);
}

TEST(GlobalParameters, TheLibraryCreatesTheGlobalAndFullUpdateAnnouncesIt)
{
  ASSERT_NE(GlobalParams, nullptr);
  kvtest::MessageEnvironment env;
  GlobalParams->FullUpdate();
  env.Loop.RunUntilIdle();
  ASSERT_EQ(env.Observer.Ids(), std::vector<uint32_t>{GLOBAL_PARAMETERS_CHANGED});
  EXPECT_FALSE(GlobalParams->CriteriaSettingsChanged);
}
