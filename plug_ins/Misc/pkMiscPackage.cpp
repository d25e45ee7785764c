// Package 999pkMisc: the Tamsel filter, the truncated mean and the smart detector filter,
// in that order; one instance each, created at load and deleted at unload.
#include "AdaptiveMeanFilter.h"
#include "FoolishSmartMedianFilter.h"
#include "TruncatedMeanFilter.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<AdaptiveMeanFilter, TruncatedMeanFilter, FoolishSmartMedianFilter> Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
