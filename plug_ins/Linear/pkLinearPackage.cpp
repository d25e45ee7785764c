// Package 020pkLinear: the Wiener filter; one instance, created at load and deleted at unload.
#include "WienerFilter.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<WienerFilter> Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
