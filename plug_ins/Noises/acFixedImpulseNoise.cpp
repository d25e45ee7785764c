#include "acFixedImpulseNoise.h"

acFixedImpulseNoise::acFixedImpulseNoise(const char* name, uint8_t impulse) : Impulse(impulse)
{
  Describe(name, "Impulse Noises", otNoise, fmParamDialog);
  PercentParam = Params->AddReal("Noise percent", 0, 1, 0.2, 2);
}

void acFixedImpulseNoise::PreProcessing()
{
  HitCount = HitCountFor(ParamValue(PercentParam));
  Randomize();
}

bool acFixedImpulseNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  out = Impulse;
  return rnd.Random(ImpulseDraws) < HitCount;
}
