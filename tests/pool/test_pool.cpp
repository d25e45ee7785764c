// The operation pool: UIDs, announcements, skipping of broken packages, unloading order.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include <unistd.h>

#include "KvTestSupport.h"
#include "PoolLog.h"

namespace fs = std::filesystem;

namespace {

// A plug-in folder of its own for one test, removed afterwards.
class cPluginFolder {
public:
  cPluginFolder()
  {
    Path = fs::temp_directory_path() / ("kv_pool_" + std::to_string(::getpid()) + "_" +
                                        testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Path);
    fs::create_directories(Path);
  }
  ~cPluginFolder() { fs::remove_all(Path); }
  void AddPackage(const std::string& built, const std::string& as)
  {
    fs::copy_file(std::string(KV_POOL_PACKAGE_DIR) + built + ".so", Path / as);
  }
  void AddText(const std::string& as) { std::ofstream(Path / as) << "this is not a shared library\n"; }
  // Loads every "*.so" file in ascending name order, as the system does at start-up.
  void LoadInto(cOperationPool& pool) const
  {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Path))
      if (entry.path().extension() == ".so") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    for (const auto& name : names) pool.LoadOperationsFromPackage((Path / name).string());
  }
  fs::path Path;
};

std::vector<int32_t> LoadedUIDs(const kvtest::RecordingObserver& observer)
{
  std::vector<int32_t> uids;
  for (const sMessage& m : observer.Messages) {
    EXPECT_EQ(m.Msg, OPERATION_LOADED);
    EXPECT_EQ(m.WParam, 0);
    uids.push_back(m.LParam);
  }
  return uids;
}

}  // namespace

TEST(OperationPool, EmptyFolderLeavesOnlyResampleUnannounced)
{
  kvtest::MessageEnvironment env;
  cPluginFolder folder;
  cOperationPool pool;
  folder.LoadInto(pool);
  ASSERT_EQ(pool.GetOperationsCount(), 1u);
  EXPECT_EQ(pool.LookForOperationByUID(1)->GetName(), "Resample");
  EXPECT_TRUE(env.Observer.Messages.empty());
  std::string group, name, type;
  pool.GetOperationGroupAndName(1, group, name, type);
  EXPECT_EQ(group, "AbstructGroup");
  EXPECT_EQ(name, "Resample");
  EXPECT_EQ(type, "otBuiltIn");
}

TEST(OperationPool, UIDZeroAndUnknownUIDsAreOutOfRange)
{
  cOperationPool pool;
  EXPECT_THROW(pool.LookForOperationByUID(0), std::out_of_range);
  EXPECT_THROW(pool.LookForOperationByUID(2), std::out_of_range);
  std::string group, name, type;
  EXPECT_THROW(pool.GetOperationGroupAndName(0, group, name, type), std::out_of_range);
  try {
    pool.LookForOperationByUID(7);
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "invalid vector<T> subscript");
  }
}

TEST(OperationPool, BrokenFilesAreSkippedWithOneLineEachAndLaterPackagesStillLoad)
{
  kvtest::MessageEnvironment env;
  cPluginFolder folder;
  folder.AddPackage("tpTwoOperations", "010two.so");
  folder.AddText("020junk.so");
  folder.AddPackage("tpWithoutEntry", "030noentry.so");
  folder.AddPackage("tpThrowingEntry", "040throws.so");
  folder.AddPackage("tpOneOperation", "050one.so");
  folder.AddText("060notes.txt");
  PoolLogClear();
  auto pool = std::make_unique<cOperationPool>();

  testing::internal::CaptureStderr();
  folder.LoadInto(*pool);
  const std::string diagnostics = testing::internal::GetCapturedStderr();

  ASSERT_EQ(pool->GetOperationsCount(), 4u);
  EXPECT_EQ(pool->LookForOperationByUID(2)->GetName(), "Test A");
  EXPECT_EQ(pool->LookForOperationByUID(3)->GetName(), "Test B");
  EXPECT_EQ(pool->LookForOperationByUID(4)->GetName(), "Test C");
  EXPECT_EQ(LoadedUIDs(env.Observer), (std::vector<int32_t>{2, 3, 4}));
  std::string group, name, type;
  pool->GetOperationGroupAndName(3, group, name, type);
  EXPECT_EQ(group, "Test group");
  EXPECT_EQ(name, "Test B");
  EXPECT_EQ(type, "otNoise");

  EXPECT_EQ(std::count(diagnostics.begin(), diagnostics.end(), '\n'), 3) << diagnostics;
  EXPECT_NE(diagnostics.find("020junk.so"), std::string::npos) << diagnostics;
  EXPECT_NE(diagnostics.find("030noentry.so"), std::string::npos) << diagnostics;
  EXPECT_NE(diagnostics.find("040throws.so"), std::string::npos) << diagnostics;
  EXPECT_NE(diagnostics.find("broken package"), std::string::npos) << diagnostics;
  // The skipped packages were unloaded again, deleting their operations.
  EXPECT_EQ(PoolLogLines(), (std::vector<std::string>{"deleted Test without entry", "deleted Test throwing"}));

  PoolLogClear();
  pool.reset();
  // Last loaded first; within a package its objects go in reverse order of creation.
  EXPECT_EQ(PoolLogLines(), (std::vector<std::string>{"deleted Test C", "deleted Test B", "deleted Test A"}));
}

TEST(OperationPool, SelectOperationFindsTheFirstOperationOfThatName)
{
  kvtest::MessageEnvironment env;
  cPluginFolder folder;
  folder.AddPackage("tpTwoOperations", "010first.so");
  folder.AddPackage("tpTwoOperations", "020second.so");
  cOperationPool pool;
  folder.LoadInto(pool);
  ASSERT_EQ(pool.GetOperationsCount(), 5u);
  acOperation* first = pool.LookForOperationByUID(3);
  acOperation* second = pool.LookForOperationByUID(5);
  ASSERT_NE(first, second);
  ASSERT_EQ(second->GetName(), "Test B");
  // A stored copy of the later one's parameters still selects the earlier one.
  cOperationParams stored(*second->GetParams());
  EXPECT_EQ(pool.SelectOperation(stored), first);
  EXPECT_EQ(pool.SelectOperation(*pool.LookForOperationByUID(1)->GetParams()), pool.LookForOperationByUID(1));
}

TEST(OperationPoolDeathTest, SelectingAnUnknownOperationStops)
{
  cOperationPool pool;
  acOperation stray;
  stray.Name = "Nowhere";
  EXPECT_DEATH(pool.SelectOperation(*stray.GetParams()), "theOperation!=NULL");
}

TEST(OperationPool, ShippedPackagesLoadFromThePluginFolder)
{
  kvtest::MessageEnvironment env;
  cOperationPool pool;
  for (const char* file : {"pkColor.so", "pkGeometric.so"})
    pool.LoadOperationsFromPackage(std::string(KV_PLUGIN_DIR) + file);
  EXPECT_EQ(pool.GetOperationsCount(), 8u);
  EXPECT_EQ(pool.FindUIDByName("Desaturate"), 2u);
  EXPECT_EQ(pool.FindUIDByName("Rotate 90 CW"), 8u);
  EXPECT_EQ(LoadedUIDs(env.Observer), (std::vector<int32_t>{2, 3, 4, 5, 6, 7, 8}));
}
