#pragma once
// Where the programs find what they bring along. Run from the build folder, everything sits beside
// the executable: <bin>/plug-ins/, <bin>/math.dat (with splash.bmp and mask.bmp) and <bin>/samples/.
// Installed under a prefix, the executable is in <prefix>/bin, the packages in
// <prefix>/lib/kvadra/plug-ins/ and the data files and samples in <prefix>/share/kvadra/.
// The build layout is tried first, so a build folder never picks up an installed copy; when
// neither layout is there, the build layout's path is given, so messages name where it was looked for.
#include <string>

// The folder of the running executable (from /proc/self/exe); empty when it cannot be read.
std::string kvExecutableFolder();
// The folder holding the plug-in packages, ending in '/'.
std::string kvPlugInFolder(const std::string& executableFolder);
// The folder holding math.dat, splash.bmp and mask.bmp (no trailing '/').
std::string kvDataFolder(const std::string& executableFolder);
// The folder of the sample pictures (no trailing '/').
std::string kvSamplesFolder(const std::string& executableFolder);
