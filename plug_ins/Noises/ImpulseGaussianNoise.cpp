#include "ImpulseGaussianNoise.h"

ImpulseGaussianNoise::ImpulseGaussianNoise()
{
  Name = "Random Valued (gaussian) Noise";
  GroupName = "Impulse Noises";
  sParameterInfo info;
  info.Precision = 2;
  DeclareReal(info, "Noise percent", 0, 1, 0.2);
  DeclareReal(info, "Mean", 0, 255, 128);
  DeclareReal(info, "Standart Deviation", 0, 100, 10);
}

void ImpulseGaussianNoise::PreProcessing()
{
  HitCount = HitCountFor(ParamValue(0));
  Mean = float(ParamValue(1));
  Deviation = float(ParamValue(2));
  Randomize();
}

inline bool ImpulseGaussianNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  if (rnd.Random(100) >= HitCount) return false;
  out = TruncToByte(RoundHalfUp(rnd.RandG(Mean, Deviation)));
  return true;
}

void ImpulseGaussianNoise::TransformPixel(unsigned x, unsigned y)
{
  DriveSample(x, y, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}

void ImpulseGaussianNoise::OperationItself(const tTerminateFlag& terminated)
{
  DriveRows(terminated, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}
