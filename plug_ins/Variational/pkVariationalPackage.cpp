// Package 070pkVariational: the total-variation filter; one instance, created at load and
// deleted at unload.
#include "TotalVariationFilter.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<TotalVariationFilter> Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
