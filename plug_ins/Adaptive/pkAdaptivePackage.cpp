// Package 990pkAdaptive: the Lee filter; one instance, created at load and deleted at unload.
#include "LeeFilter.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<LeeFilter> Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
