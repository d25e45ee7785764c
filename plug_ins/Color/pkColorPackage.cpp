// Package pkColor: one instance per operation, created when the package is loaded and
// deleted when it is unloaded.
#include "Desaturate.h"
#include "InvertFilter.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<Desaturate, InvertFilter> Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
