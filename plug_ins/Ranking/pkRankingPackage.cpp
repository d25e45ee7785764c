// Package 040pkRanking: the maximum, minimum and max-min filters, in that order; one instance
// each, created at load and deleted at unload.
#include "MaxMinFilter.h"
#include "MaximumFilter.h"
#include "MinimumFilter.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<MaximumFilter, MinimumFilter, MaxMinFilter> Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
