#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KvTestSupport.h"
#include "ParamSupport.h"

namespace {
struct sExpected {
  std::string Name;
  std::string Group;
  std::vector<std::string> Params;
};

// Loads one package into a fresh pool and checks its operations (after the resampler, UID 1)
// against the expected list, starting at list position `first` (1-based).
void CheckPackage(const std::string& file, unsigned first, const std::vector<sExpected>& expected)
{
  kvtest::MessageEnvironment env;
  cOperationPool pool;
  pool.LoadOperationsFromPackage(KV_PLUGIN_DIR + file);
  ASSERT_GE(pool.GetOperationsCount(), 1 + first - 1 + expected.size()) << file;
  for (size_t i = 0; i < expected.size(); ++i) {
    acOperation* op = pool.LookForOperationByUID(unsigned(1 + first + i));
    EXPECT_EQ(op->GetName(), expected[i].Name) << file;
    EXPECT_EQ(op->GetGroupName(), expected[i].Group) << expected[i].Name;
    EXPECT_EQ(op->GetOperationType(), "otFilter") << expected[i].Name;
    EXPECT_EQ(op->GetFormMode(), 1) << expected[i].Name;
    EXPECT_FALSE(op->GetTotalVariation()) << expected[i].Name;
    ASSERT_EQ(op->GetParams()->GetParamsCount(), int(expected[i].Params.size())) << expected[i].Name;
    for (size_t p = 0; p < expected[i].Params.size(); ++p)
      EXPECT_EQ(op->GetParams()->GetParam(unsigned(p))->GetName(), expected[i].Params[p]) << expected[i].Name;
  }
}
}  // namespace

TEST(FilterPackages, MedianPackageListsItsFiveFiltersInOrder)
{
  CheckPackage("050pkMedian.so", 1,
               {{"Median Filter", "Median Filters", {"Width size", "Height size", "Recursive executing"}},
                {"Adaptive Median Filter", "Median Filters", {"Max window size", "Recursive executing"}},
                {"Foolish Detector Median Filter", "Detector Median Filters", {"Window size", "Recursive executing"}},
                {"PSM Filter",
                 "Detector Median Filters",
                 {"Detector window size", "Filter window size", "Detector Treshold", "Detector epoch count"}},
                {"APSM Filter", "Detector Median Filters", {"Detector window size", "Filter window size"}}});
}

TEST(FilterPackages, AdaptiveFiltersSitInTheirPackages)
{
  CheckPackage("020pkLinear.so", 1, {{"Wiener Filter", "Linear Filters", {"Window size", "Noise variance"}}});
  CheckPackage("070pkVariational.so", 1,
               {{"Total Variation Filter", "Variational Filters", {"Weight", "Iterations", "Tolerance"}}});
  CheckPackage("990pkAdaptive.so", 1, {{"Lee Filter", "Misc Filters", {"Window size"}}});
  CheckPackage("999pkMisc.so", 3,
               {{"Foolish detector-Smart filter",
                 "Detector Median Filters",
                 {"Window size", "Max window size", "Threshold", "Recursive executing"}}});
}

TEST(FilterPackages, DefaultsAreTheDocumentedOnes)
{
  kvtest::MessageEnvironment env;
  cOperationPool pool;
  pool.LoadOperationsFromPackage(KV_PLUGIN_DIR "050pkMedian.so");
  pool.LoadOperationsFromPackage(KV_PLUGIN_DIR "020pkLinear.so");
  pool.LoadOperationsFromPackage(KV_PLUGIN_DIR "990pkAdaptive.so");
  EXPECT_EQ(kvtest::FindOperation(pool, "Median Filter")->GetShortInfoString(),
            pool.LookForOperationByUID(2)->GetShortInfoString());
  auto param = [&](const char* op, const char* name) -> cOperationParameter& {
    return kvtest::Param(*kvtest::FindOperation(pool, op), name);
  };
  EXPECT_EQ(param("Median Filter", "Width size").GetInteger(), 3);
  EXPECT_FALSE(param("Median Filter", "Recursive executing").GetBoolean());
  EXPECT_EQ(param("PSM Filter", "Detector window size").GetInteger(), 5);
  EXPECT_EQ(param("PSM Filter", "Detector Treshold").GetInteger(), 25);
  EXPECT_EQ(param("PSM Filter", "Detector epoch count").GetInteger(), 3);
  EXPECT_EQ(param("APSM Filter", "Detector window size").GetInteger(), 5);
  EXPECT_DOUBLE_EQ(param("Wiener Filter", "Noise variance").GetReal(), 10.0);
  EXPECT_EQ(param("Lee Filter", "Window size").GetInteger(), 7);
}
