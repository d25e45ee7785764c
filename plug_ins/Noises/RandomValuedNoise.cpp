#include "RandomValuedNoise.h"

RandomValuedNoise::RandomValuedNoise()
{
  Name = "Random Valued (uniform) Noise";
  GroupName = "Impulse Noises";
  sParameterInfo info;
  info.Precision = 2;
  DeclareReal(info, "Probability", 0, 1, 0.1);
}

void RandomValuedNoise::PreProcessing()
{
  HitCount = HitCountFor(ParamValue(0));
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

void RandomValuedNoise::OperationItself(const tTerminateFlag& terminated)
{
  DriveRows(terminated, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}
