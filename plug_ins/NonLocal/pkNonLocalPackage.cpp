// Package 060pkNonLocal: the non-local filters; one instance each, created at load and deleted
// at unload.
#include "BM3DFilter.h"
#include "NonLocalMeansFilter.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<NonLocalMeansFilter, BM3DFilter> Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
