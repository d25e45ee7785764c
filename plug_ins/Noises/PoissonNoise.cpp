#include "PoissonNoise.h"

PoissonNoise::PoissonNoise()
{
  Describe("Poisson Noise", "Photon Noises", otNoise, fmParamDialog);
  DeclarePeak();
}

bool PoissonNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  out = TruncToByte(RoundHalfUp(Photons(g, rnd)));
  return true;
}
