#include "kvRuntime/kvInstallPaths.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {
// The installed layout, relative to <prefix>/bin.
constexpr const char* InstalledPlugIns = "../lib/kvadra/plug-ins";
constexpr const char* InstalledData = "../share/kvadra";
constexpr const char* InstalledSamples = "../share/kvadra/samples";
// math.dat is made with every build and installed with the data, so it tells the data folder.
constexpr const char* DataMarker = "math.dat";

bool IsFolder(const fs::path& path)
{
  std::error_code error;
  return fs::is_directory(path, error);
}

bool IsFile(const fs::path& path)
{
  std::error_code error;
  return fs::is_regular_file(path, error);
}

std::string Normal(const fs::path& path)
{
  return path.lexically_normal().string();
}

// The build layout's folder when it is there, else the installed one when that is there.
std::string FirstFolder(const fs::path& besideExecutable, const fs::path& installed)
{
  if (IsFolder(besideExecutable) || !IsFolder(installed)) return Normal(besideExecutable);
  return Normal(installed);
}
}  // namespace

std::string kvExecutableFolder()
{
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.parent_path().string();
}

std::string kvPlugInFolder(const std::string& executableFolder)
{
  const fs::path bin(executableFolder);
  std::string folder = FirstFolder(bin / "plug-ins", bin / InstalledPlugIns);
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string kvDataFolder(const std::string& executableFolder)
{
  const fs::path bin(executableFolder);
  if (!IsFile(bin / DataMarker) && IsFolder(bin / InstalledData)) return Normal(bin / InstalledData);
  return Normal(bin);
}

std::string kvSamplesFolder(const std::string& executableFolder)
{
  const fs::path bin(executableFolder);
  return FirstFolder(bin / "samples", bin / InstalledSamples);
}
