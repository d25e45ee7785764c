#pragma once
// "APSM Filter": a sample that equals the minimum or maximum of its detector window is taken
// for an impulse; impulses are then replaced by the median of their unflagged neighbours, pass
// after pass. Windows are cut at the region's edges instead of mirrored.
#include "acSwitchingMedianFilter.h"
#include "cRegionChannel.h"

class NASMFilter_New : public acSwitchingMedianFilter {
public:
  NASMFilter_New();
  void OperationItself(const tTerminateFlag& terminated) override;

private:
  // The detection stage by extremes over rows then columns, or (the plain reference) by each
  // sample's clipped window scanned whole.
  void Detect(const cRegionChannel& region, unsigned progressFrom, unsigned progressTo,
              const tTerminateFlag& terminated);
  void DetectPlain(const cRegionChannel& region);
  void Restore(const cRegionChannel& region, unsigned progressFrom, unsigned progressTo,
               const tTerminateFlag& terminated);
};
