#include "ExponentialNoise.h"

ExponentialNoise::ExponentialNoise()
{
  Name = "Exponential Noise";
  GroupName = "Additive Noises";
  AParam = Params->AddReal("A", 0, 0.7, 0.25, 3);
}

void ExponentialNoise::PreProcessing()
{
  A = ParamValue(AParam);
  // A = 0 would divide by zero: the samples keep their values (the draws are still made,
  // so the shared sequence advances as for any other A).
  Increase.assign(10000, 0.0);
  if (A > 0.0)
    for (unsigned r = 0; r < 10000; ++r) {
      const double u = r * 0.0001;
      Increase[r] = -std::log(1.0 - u) / A;
    }
}

void ExponentialNoise::PostProcessing()
{
  Increase = std::vector<double>();
}

inline bool ExponentialNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  out = TruncToByte(double(g) + Increase[rnd.Random(10000)]);
  return true;
}

void ExponentialNoise::TransformPixel(unsigned x, unsigned y)
{
  DriveSample(x, y, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}

void ExponentialNoise::TransformSpan(int y, int firstX, int endX)
{
  SpanBySamples(y, firstX, endX, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}
