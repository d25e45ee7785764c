#pragma once
// "Lee Filter": a sample whose window varies more than the picture's noise is kept, any other
// is replaced by its window's mean. The noise variance is estimated once per run from
// non-overlapping blocks of the region.
#include <cstdint>

#include "kvOperations/acSquareWindowFilter.h"

class LeeFilter : public acSquareWindowFilter {
public:
  LeeFilter();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

  double GetNoiseVariance() const { return NoiseVariance; }

protected:
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  // Mean (rounded up) and spread of the window around (x, y) of the surface's current channel.
  void WindowStatistics(const cBMPSurface& surface, int x, int y, unsigned& mean, int64_t& spread) const;

  double NoiseVariance = 0.0;
};
