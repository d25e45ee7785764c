#pragma once
// "Wiener Filter": local linear minimum-mean-square-error estimate from the mean and variance
// of a W x W window (mirrored at the picture's edges) and a given noise variance.
#include <cstdint>
#include <vector>

#include "acOperation.h"

class WienerFilter : public acOperation {
public:
  WienerFilter();
  void OperationItself(const tTerminateFlag& terminated) override;

private:
  // Local statistics of one channel over the region; false when stopped.
  bool GatherStatistics(int channel, int channels, const tTerminateFlag& terminated);

  uint8_t WindowSize = 3;
  double NoiseVariance = 10.0;
  int Left = 0, Top = 0, RegionWidth = 0, RegionHeight = 0;
  // Per-run arrays of the region: value, local mean, local variance; window column sums.
  std::vector<double> X, M, V;
  std::vector<int64_t> ColumnSum, ColumnSquares;
};
