// Package pkGeometric: one instance per operation, created when the package is loaded and
// deleted when it is unloaded.
#include "FlipHorizontal.h"
#include "FlipVertical.h"
#include "Rotate180.h"
#include "Rotate90CCW.h"
#include "Rotate90CW.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<FlipHorizontal, FlipVertical, Rotate180, Rotate90CCW, Rotate90CW> Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
