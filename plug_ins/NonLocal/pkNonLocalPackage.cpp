// Package 060pkNonLocal: the non-local filters; one instance each, created at load and deleted
// at unload.
#include "NonLocalMeansFilter.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<NonLocalMeansFilter> Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
