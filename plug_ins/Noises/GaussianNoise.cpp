#include "GaussianNoise.h"

GaussianNoise::GaussianNoise()
{
  Name = "Gaussian Noise";
  GroupName = "Additive Noises";
  MeanParam = Params->AddReal("Mean", -255, 255, 0, 2);
  SigmaParam = Params->AddReal("Sigma", 1, 256, 100, 2);
}

void GaussianNoise::PreProcessing()
{
  Mean = float(ParamValue(MeanParam));
  Sigma = float(ParamValue(SigmaParam));
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

void GaussianNoise::TransformSpan(int y, int firstX, int endX)
{
  SpanBySamples(y, firstX, endX, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}
