#include "RandomValuedNoise.h"

RandomValuedNoise::RandomValuedNoise()
{
  Name = "Random Valued (uniform) Noise";
  GroupName = "Impulse Noises";
  ProbabilityParam = Params->AddReal("Probability", 0, 1, 0.1, 2);
}

void RandomValuedNoise::PreProcessing()
{
  HitCount = HitCountFor(ParamValue(ProbabilityParam));
}

inline bool RandomValuedNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  const bool hit = rnd.Random(100) < HitCount;
  out = uint8_t(rnd.Random(256));
  return hit;
}

void RandomValuedNoise::TransformPixel(unsigned x, unsigned y)
{
  DriveSample(x, y, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}

void RandomValuedNoise::TransformSpan(int y, int firstX, int endX)
{
  SpanBySamples(y, firstX, endX, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}
