// Package pkGeometric: one instance per operation, created when the package is loaded and
// deleted when it is unloaded.
#include "FlipHorizontal.h"
#include "FlipVertical.h"
#include "Rotate180.h"
#include "Rotate90CCW.h"
#include "Rotate90CW.h"
#include "kvOperations/cOperationPool.h"

namespace {
struct sPackage {
  FlipHorizontal FlipHorizontalOperation;
  FlipVertical FlipVerticalOperation;
  Rotate180 Rotate180Operation;
  Rotate90CCW Rotate90CCWOperation;
  Rotate90CW Rotate90CWOperation;
};
sPackage Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&Package.FlipHorizontalOperation);
  list.push_back(&Package.FlipVerticalOperation);
  list.push_back(&Package.Rotate180Operation);
  list.push_back(&Package.Rotate90CCWOperation);
  list.push_back(&Package.Rotate90CWOperation);
}
