#pragma once
// "Wiener Filter": local linear minimum-mean-square-error estimate from the mean and variance
// of a W x W window (mirrored at the picture's edges) and a given noise variance.
#include <cstdint>

#include "kvOperations/acSquareWindowFilter.h"

class WienerFilter : public acSquareWindowFilter {
public:
  WienerFilter();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  // The result for sample value v of a window of n samples with these exact sums.
  uint8_t Estimate(double v, int64_t sum, int64_t squares) const;

  sParamHandle NoiseParam;
  double NoiseVariance = 10.0;
};
