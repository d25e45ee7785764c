// Package 010pkMath: the difference, Laplacian and gradient filters, in that order; one
// instance each, created at load and deleted at unload.
#include "DifferentFilter.h"
#include "GradientFilter.h"
#include "LaplasianFilter.h"
#include "kvOperations/cOperationPool.h"

namespace {
struct sPackage {
  DifferentFilter Different;
  LaplasianFilter Laplasian;
  GradientFilter Gradient;
};
sPackage Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&Package.Different);
  list.push_back(&Package.Laplasian);
  list.push_back(&Package.Gradient);
}
