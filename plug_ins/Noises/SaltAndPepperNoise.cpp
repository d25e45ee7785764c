#include "SaltAndPepperNoise.h"

SaltAndPepperNoise::SaltAndPepperNoise()
{
  Describe("Salt-and-Pepper Noise", "Impulse Noises", otNoise, fmParamDialog);
  PercentParam = Params->AddReal("Noise percent", 0, 1, 0.2, 2);
}

void SaltAndPepperNoise::PreProcessing()
{
  // The density passes through single precision first, so 0.2 acts as the float just above it.
  HitCount = HitCountFor(double(float(ParamValue(PercentParam))));
  Randomize();
}

bool SaltAndPepperNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  if (rnd.Random(ImpulseDraws) < HitCount)
    out = rnd.Random(ImpulseDraws) >= ImpulseDraws / 2 ? 255 : 0;
  else
    out = g;
  return true;
}
