#include "RayleighNoise.h"

RayleighNoise::RayleighNoise()
{
  Name = "Rayleigh Noise";
  GroupName = "Additive Noises";
  AParam = Params->AddReal("A", 0, 50, 10, 1);
  BParam = Params->AddReal("B", 0, 100, 50, 1);
}

void RayleighNoise::PreProcessing()
{
  A = ParamValue(AParam);
  B = ParamValue(BParam);
  Increase.resize(10000);
  for (unsigned r = 0; r < 10000; ++r) {
    const double u = r * 0.0001;
    Increase[r] = A + std::sqrt(-B * std::log(1.0 - u));
  }
}

void RayleighNoise::PostProcessing()
{
  Increase = std::vector<double>();
}

inline bool RayleighNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  out = TruncToByte(double(g) + Increase[rnd.Random(10000)]);
  return true;
}

void RayleighNoise::TransformPixel(unsigned x, unsigned y)
{
  DriveSample(x, y, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}

void RayleighNoise::TransformSpan(int y, int firstX, int endX)
{
  SpanBySamples(y, firstX, endX, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}
