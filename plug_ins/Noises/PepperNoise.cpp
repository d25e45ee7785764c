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

inline bool PepperNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  out = 0;
  return rnd.Random(100) < HitCount;
}

void PepperNoise::TransformPixel(unsigned x, unsigned y)
{
  DriveSample(x, y, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}

void PepperNoise::TransformSpan(int y, int firstX, int endX)
{
  SpanBySamples(y, firstX, endX, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}
