#pragma once
// "Lee Filter": a sample whose window varies more than the picture's noise is kept, any other
// is replaced by its window's mean. The noise variance is estimated once per run from
// non-overlapping blocks of the region.
#include <cstdint>

#include "kvOperations/acSingleChannelOperation.h"

class LeeFilter : public acSingleChannelOperation {
public:
  LeeFilter();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

  double GetNoiseVariance() const { return NoiseVariance; }

protected:
  sRowForm RowForm() const override;
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  // Mean (rounded up) and spread of the window around (x, y) of the surface's current channel.
  void WindowStatistics(const cBMPSurface& surface, int x, int y, unsigned& mean, int64_t& spread) const;

  sParamHandle WindowParam;
  uint8_t WindowSize = 7;
  double NoiseVariance = 0.0;
};
