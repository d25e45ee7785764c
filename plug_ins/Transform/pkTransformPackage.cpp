// Package 080pkTransform: filters that work on a transform of the whole picture.
#include "WaveletShrinkageFilter.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<WaveletShrinkageFilter> Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
