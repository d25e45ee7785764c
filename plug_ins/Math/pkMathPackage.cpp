// Package 010pkMath: the difference, Laplacian and gradient filters, in that order; one
// instance each, created at load and deleted at unload.
#include "DifferentFilter.h"
#include "GradientFilter.h"
#include "LaplasianFilter.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<DifferentFilter, LaplasianFilter, GradientFilter> Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
