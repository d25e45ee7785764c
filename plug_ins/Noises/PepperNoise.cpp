#include "PepperNoise.h"

PepperNoise::PepperNoise()
{
  Name = "Pepper Noise";
  GroupName = "Impulse Noises";
  PercentParam = Params->AddReal("Noise percent", 0, 1, 0.2, 2);
}

void PepperNoise::PreProcessing()
{
  HitCount = HitCountFor(ParamValue(PercentParam));
  Randomize();
}

bool PepperNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  out = 0;
  return rnd.Random(ImpulseDraws) < HitCount;
}
