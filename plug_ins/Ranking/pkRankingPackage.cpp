// Package 040pkRanking: the maximum, minimum and max-min filters, in that order; one instance
// each, created at load and deleted at unload.
#include "MaxMinFilter.h"
#include "MaximumFilter.h"
#include "MinimumFilter.h"
#include "kvOperations/cOperationPool.h"

namespace {
struct sPackage {
  MaximumFilter Maximum;
  MinimumFilter Minimum;
  MaxMinFilter MaxMin;
};
sPackage Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&Package.Maximum);
  list.push_back(&Package.Minimum);
  list.push_back(&Package.MaxMin);
}
