#include "SaltNoise.h"

SaltNoise::SaltNoise()
{
  Name = "Salt Noise";
  GroupName = "Impulse Noises";
  sParameterInfo info;
  info.Precision = 2;
  DeclareReal(info, "Noise percent", 0, 1, 0.2);
}

void SaltNoise::PreProcessing()
{
  HitCount = HitCountFor(ParamValue(0));
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

void SaltNoise::OperationItself(const tTerminateFlag& terminated)
{
  DriveRows(terminated, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}
