#pragma once
// "Wavelet Shrinkage Filter": an orthogonal 2-D wavelet transform (symmetric extension) of
// each channel, every detail subband shrunk towards zero by its BayesShrink threshold
// sigma^2 / sigma_x (Chang, Yu and Vetterli, 2000), and the inverse transform. Colour
// pictures are filtered in YCbCr, where the noise of the chroma channels is kept apart from
// the detail of the luma channel. Sigma 0 estimates the noise of each channel from the picture,
// with the "Noise sigma" estimator applied to the finest diagonal subband of the chosen wavelet.
#include <vector>

#include "kvOperations/acOperation.h"

class WaveletShrinkageFilter : public acOperation {
public:
  WaveletShrinkageFilter();
  void OperationItself(const tTerminateFlag& terminated) override;

  // sigma^2 / sigma_x, with sigma_x^2 the band's mean square less the noise variance; a band
  // that holds no more than noise is removed whole (its largest magnitude). 0 without noise.
  static double BayesShrinkThreshold(const std::vector<double>& band, double sigma);
  // Shrinks one width x height plane in place. A sigma of 0 is estimated from the finest
  // diagonal subband of this transform; a negative one leaves the plane as it is.
  static void ShrinkPlane(double* plane, int width, int height, const char* bankName, int levels, double sigma,
                          bool soft);

  // The bank of each "Wavelet" choice, in the order of the choices.
  static const char* const BankNames[];

private:
  sParamHandle WaveletParam, LevelsParam, SigmaParam, ThresholdingParam;
};
