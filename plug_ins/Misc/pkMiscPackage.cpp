// Package 999pkMisc: the Tamsel filter, the truncated mean and the smart detector filter,
// in that order; one instance each, created at load and deleted at unload.
#include "AdaptiveMeanFilter.h"
#include "FoolishSmartMedianFilter.h"
#include "TruncatedMeanFilter.h"
#include "kvOperations/cOperationPool.h"

namespace {
struct sPackage {
  AdaptiveMeanFilter Tamsel;
  TruncatedMeanFilter TruncatedMean;
  FoolishSmartMedianFilter SmartDetector;
};
sPackage Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&Package.Tamsel);
  list.push_back(&Package.TruncatedMean);
  list.push_back(&Package.SmartDetector);
}
