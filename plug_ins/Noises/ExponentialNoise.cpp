#include "ExponentialNoise.h"

ExponentialNoise::ExponentialNoise()
{
  Describe("Exponential Noise", "Additive Noises", otNoise, fmParamDialog);
  AParam = Params->AddReal("A", 0, 0.7, 0.25, 3);
}

void ExponentialNoise::PreProcessing()
{
  A = ParamValue(AParam);
  // A = 0 would divide by zero: the samples keep their values (the draws are still made,
  // so the shared sequence advances as for any other A).
  Increase.assign(UniformSteps, 0.0);
  if (A > 0.0)
    for (unsigned r = 0; r < UniformSteps; ++r) {
      const double u = r * UniformStep;
      Increase[r] = -std::log(1.0 - u) / A;
    }
}

void ExponentialNoise::PostProcessing()
{
  Increase = std::vector<double>();
}

bool ExponentialNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  out = TruncToByte(double(g) + Increase[rnd.Random(UniformSteps)]);
  return true;
}
