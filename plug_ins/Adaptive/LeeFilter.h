#pragma once
// "Lee Filter": a sample whose window varies more than the picture's noise is kept, any other
// is replaced by its window's mean. The noise variance is estimated once per run from
// non-overlapping blocks of the region.
#include <cstdint>
#include <vector>

#include "acSingleChannelOperation.h"

class LeeFilter : public acSingleChannelOperation {
public:
  LeeFilter();
  // Whole rows at a time with window sums slid along the row; same samples as TransformPixel.
  void OperationItself(const tTerminateFlag& terminated) override;
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

  double GetNoiseVariance() const { return NoiseVariance; }

private:
  // Mean (rounded up) and spread of the window around (x, y) of the surface's current channel.
  void WindowStatistics(const cBMPSurface& surface, int x, int y, unsigned& mean, int64_t& spread) const;

  // Adds (sign 1) or removes (sign -1) row y of the current channel to the column sums.
  void AddRow(int y, int sign);
  // Filters row y of the current channel from the column sums of its window rows.
  void FilterRow(int y);

  uint8_t WindowSize = 7;
  double NoiseVariance = 0.0;
  // Per-channel sums of each window column (region width + W - 1 of them) and their squares.
  std::vector<std::vector<int64_t>> ColumnSum, ColumnSquares;
};
