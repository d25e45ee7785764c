#pragma once
// "APSM Filter": a sample that equals the minimum or maximum of its detector window is taken
// for an impulse; impulses are then replaced by the median of their unflagged neighbours, pass
// after pass. Windows are cut at the region's edges instead of mirrored.
#include <cstdint>
#include <functional>
#include <vector>

#include "kvOperations/acSingleChannelOperation.h"
#include "cRegionChannel.h"

class NASMFilter_New : public acSingleChannelOperation {
public:
  NASMFilter_New();
  void OperationItself(const tTerminateFlag& terminated) override;

private:
  // The detection stage by extremes over rows then columns, or (the plain reference) by each
  // sample's clipped window scanned whole.
  void Detect(const cRegionChannel& region, unsigned progressFrom, unsigned progressTo, const tTerminateFlag& terminated);
  void DetectPlain(const cRegionChannel& region);
  void Restore(const cRegionChannel& region, unsigned progressFrom, unsigned progressTo, const tTerminateFlag& terminated);
  // row(r) for rows r of the region (h of them) across the worker threads, as DriveRows.
  void RegionRows(const tTerminateFlag& terminated, int h, unsigned progressFrom, unsigned progressTo,
                  const std::function<void(int r)>& row);

  sParamHandle DetectorSizeParam, FilterSizeParam;
  uint8_t DetectorSize = 5;
  uint8_t FilterSize = 3;
  // Per-run arrays of the region: samples, flags, and the filtering stage's working copies.
  std::vector<uint8_t> X, F, G, Y;
};
