#include "SaltNoise.h"

SaltNoise::SaltNoise()
{
  Name = "Salt Noise";
  GroupName = "Impulse Noises";
  PercentParam = Params->AddReal("Noise percent", 0, 1, 0.2, 2);
}

void SaltNoise::PreProcessing()
{
  HitCount = HitCountFor(ParamValue(PercentParam));
  Randomize();
}

bool SaltNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  out = 255;
  return rnd.Random(ImpulseDraws) < HitCount;
}
