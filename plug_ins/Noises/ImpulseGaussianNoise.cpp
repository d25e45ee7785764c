#include "ImpulseGaussianNoise.h"

ImpulseGaussianNoise::ImpulseGaussianNoise()
{
  Describe("Random Valued (gaussian) Noise", "Impulse Noises", otNoise, fmParamDialog);
  PercentParam = Params->AddReal("Noise percent", 0, 1, 0.2, 2);
  MeanParam = Params->AddReal("Mean", 0, 255, 128, 2);
  DeviationParam = Params->AddReal("Standart Deviation", 0, 100, 10, 2);
}

void ImpulseGaussianNoise::PreProcessing()
{
  HitCount = HitCountFor(ParamValue(PercentParam));
  Mean = float(ParamValue(MeanParam));
  Deviation = float(ParamValue(DeviationParam));
  Randomize();
}

bool ImpulseGaussianNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  if (rnd.Random(ImpulseDraws) >= HitCount) return false;
  out = TruncToByte(RoundHalfUp(rnd.RandG(Mean, Deviation)));
  return true;
}
