// Package pkColor: one instance per operation, created when the package is loaded and
// deleted when it is unloaded.
#include "Desaturate.h"
#include "InvertFilter.h"
#include "kvOperations/cOperationPool.h"

namespace {
struct sPackage {
  Desaturate DesaturateOperation;
  InvertFilter Invert;
};
sPackage Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&Package.DesaturateOperation);
  list.push_back(&Package.Invert);
}
