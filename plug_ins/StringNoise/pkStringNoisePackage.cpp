// Package 220pkStringNoise: the streaks noise, one instance created when the package is
// loaded and deleted when it is unloaded.
#include "UniformStringNoise.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<UniformStringNoise> Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
