#include "RandomValuedNoise.h"

RandomValuedNoise::RandomValuedNoise()
{
  Describe("Random Valued (uniform) Noise", "Impulse Noises", otNoise, fmParamDialog);
  ProbabilityParam = Params->AddReal("Probability", 0, 1, 0.1, 2);
}

void RandomValuedNoise::PreProcessing()
{
  HitCount = HitCountFor(ParamValue(ProbabilityParam));
}

bool RandomValuedNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  const bool hit = rnd.Random(ImpulseDraws) < HitCount;
  out = uint8_t(rnd.Random(256));
  return hit;
}
