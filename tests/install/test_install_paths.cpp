// Where the programs look for their packages, data files and samples, in a build folder and in
// an installed prefix, laid out in a scratch folder.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "kvRuntime/kvInstallPaths.h"

namespace fs = std::filesystem;

namespace {
struct sLayout {
  const char* Name;
  std::vector<std::string> Folders;  // relative to the scratch root
  std::vector<std::string> Files;
  // Expected, relative to the scratch root; the executable is in "prefix/bin".
  std::string PlugIns;
  std::string Data;
  std::string Samples;
};

void PrintTo(const sLayout& layout, std::ostream* out)
{
  *out << layout.Name;
}

class InstallPaths : public ::testing::TestWithParam<sLayout> {
protected:
  void SetUp() override
  {
    Root = fs::temp_directory_path() / ("kv_install_paths_" + std::to_string(::getpid()));
    fs::remove_all(Root);
    fs::create_directories(Root / "prefix/bin");
    for (const std::string& folder : GetParam().Folders) fs::create_directories(Root / folder);
    for (const std::string& file : GetParam().Files) std::ofstream(Root / file) << "x";
  }
  void TearDown() override { fs::remove_all(Root); }
  std::string Expected(const std::string& relative) const { return (Root / relative).string(); }
  fs::path Root;
};

const sLayout Layouts[] = {
    {"NothingThereNamesTheBuildLayout", {}, {}, "prefix/bin/plug-ins/", "prefix/bin", "prefix/bin/samples"},
    {"BuildFolder",
     {"prefix/bin/plug-ins", "prefix/bin/samples"},
     {"prefix/bin/math.dat"},
     "prefix/bin/plug-ins/",
     "prefix/bin",
     "prefix/bin/samples"},
    {"InstalledPrefix",
     {"prefix/lib/kvadra/plug-ins", "prefix/share/kvadra/samples"},
     {"prefix/share/kvadra/math.dat"},
     "prefix/lib/kvadra/plug-ins/",
     "prefix/share/kvadra",
     "prefix/share/kvadra/samples"},
    // A build folder whose bin/.. happens to hold an installed tree still uses its own files.
    {"BuildFolderWinsOverAnInstalledTree",
     {"prefix/bin/plug-ins", "prefix/bin/samples", "prefix/lib/kvadra/plug-ins", "prefix/share/kvadra/samples"},
     {"prefix/bin/math.dat", "prefix/share/kvadra/math.dat"},
     "prefix/bin/plug-ins/",
     "prefix/bin",
     "prefix/bin/samples"},
};

TEST_P(InstallPaths, FindsEachFolderOfTheLayout)
{
  const std::string bin = (Root / "prefix/bin").string();
  EXPECT_EQ(kvPlugInFolder(bin), Expected(GetParam().PlugIns));
  EXPECT_EQ(kvDataFolder(bin), Expected(GetParam().Data));
  EXPECT_EQ(kvSamplesFolder(bin), Expected(GetParam().Samples));
}

INSTANTIATE_TEST_SUITE_P(Layouts, InstallPaths, ::testing::ValuesIn(Layouts),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(InstallPaths, ExecutableFolderIsTheTestProgramsFolder)
{
  EXPECT_EQ(fs::path(kvExecutableFolder()), fs::path(KV_TEST_PROGRAM_DIR));
}
}  // namespace
