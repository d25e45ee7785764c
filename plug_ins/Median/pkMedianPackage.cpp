// Package 050pkMedian: the median filter, the adaptive median, the foolish detector, PSM and
// APSM, in that order; one instance each, created at load and deleted at unload.
#include "AdaptiveMedianFilter.h"
#include "FastMedianFilter.h"
#include "FoolishDetectorMedianFilter.h"
#include "NASMFilter_New.h"
#include "PSMFilter.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<FastMedianFilter, AdaptiveMedianFilter, FoolishDetectorMedianFilter, PSMFilter, NASMFilter_New>
    Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
