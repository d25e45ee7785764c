#pragma once
#include "acPhotonNoise.h"

// A camera's noise (Foi et al.): photon noise as in PoissonNoise plus a read-noise normal
// deviate (0, Sigma grey levels), drawn after the count; the sum rounded half up and clipped.
class PoissonGaussianNoise : public acPhotonNoise<PoissonGaussianNoise> {
public:
  PoissonGaussianNoise();
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  void PreProcessing() override;

private:
  sParamHandle SigmaParam;
  double Sigma = 5.0;
};
