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

inline bool SaltNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  out = 255;
  return rnd.Random(100) < HitCount;
}

void SaltNoise::TransformPixel(unsigned x, unsigned y)
{
  DriveSample(x, y, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}

void SaltNoise::TransformSpan(int y, int firstX, int endX)
{
  SpanBySamples(y, firstX, endX, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}
