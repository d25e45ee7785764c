#include "GaussianNoise.h"

GaussianNoise::GaussianNoise()
{
  Name = "Gaussian Noise";
  GroupName = "Additive Noises";
  sParameterInfo info;
  info.Precision = 2;
  DeclareReal(info, "Mean", -255, 255, 0);
  DeclareReal(info, "Sigma", 1, 256, 100);
}

void GaussianNoise::PreProcessing()
{
  Mean = float(ParamValue(0));
  Sigma = float(ParamValue(1));
  Randomize();
}

inline bool GaussianNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  const double n = RoundHalfUp(rnd.RandG(Mean, Sigma));
  out = TruncToByte(double(g) + n);
  return true;
}

void GaussianNoise::TransformPixel(unsigned x, unsigned y)
{
  DriveSample(x, y, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}

void GaussianNoise::OperationItself(const tTerminateFlag& terminated)
{
  DriveRows(terminated, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}
