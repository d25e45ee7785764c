// Package 220pkStringNoise: the streaks noise, one instance created when the package is
// loaded and deleted when it is unloaded.
#include "UniformStringNoise.h"
#include "kvOperations/cOperationPool.h"

namespace {
UniformStringNoise StreaksNoise;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&StreaksNoise);
}
