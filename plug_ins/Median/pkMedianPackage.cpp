// Package 050pkMedian: the median filter, the adaptive median, the foolish detector, PSM and
// APSM, in that order; one instance each, created at load and deleted at unload.
#include "AdaptiveMedianFilter.h"
#include "FastMedianFilter.h"
#include "FoolishDetectorMedianFilter.h"
#include "NASMFilter_New.h"
#include "PSMFilter.h"
#include "kvOperations/cOperationPool.h"

namespace {
struct sPackage {
  FastMedianFilter Median;
  AdaptiveMedianFilter AdaptiveMedian;
  FoolishDetectorMedianFilter FoolishDetector;
  PSMFilter PSM;
  NASMFilter_New APSM;
};
sPackage Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&Package.Median);
  list.push_back(&Package.AdaptiveMedian);
  list.push_back(&Package.FoolishDetector);
  list.push_back(&Package.PSM);
  list.push_back(&Package.APSM);
}
