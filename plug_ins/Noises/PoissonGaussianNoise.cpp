#include "PoissonGaussianNoise.h"

PoissonGaussianNoise::PoissonGaussianNoise()
{
  Describe("Poisson-Gaussian Noise", "Photon Noises", otNoise, fmParamDialog);
  DeclarePeak();
  SigmaParam = Params->AddReal("Sigma", 0, 100, 5, 2);
}

void PoissonGaussianNoise::PreProcessing()
{
  acPhotonNoise::PreProcessing();
  Sigma = ParamValue(SigmaParam);
}

bool PoissonGaussianNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  const double photons = Photons(g, rnd);
  out = TruncToByte(RoundHalfUp(photons + rnd.RandG(0.0, Sigma)));
  return true;
}
