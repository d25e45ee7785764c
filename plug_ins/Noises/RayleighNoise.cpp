#include "RayleighNoise.h"

RayleighNoise::RayleighNoise()
{
  Describe("Rayleigh Noise", "Additive Noises", otNoise, fmParamDialog);
  AParam = Params->AddReal("A", 0, 50, 10, 1);
  BParam = Params->AddReal("B", 0, 100, 50, 1);
}

void RayleighNoise::PreProcessing()
{
  A = ParamValue(AParam);
  B = ParamValue(BParam);
  Increase.resize(UniformSteps);
  for (unsigned r = 0; r < UniformSteps; ++r) {
    const double u = r * UniformStep;
    Increase[r] = A + std::sqrt(-B * std::log(1.0 - u));
  }
}

void RayleighNoise::PostProcessing()
{
  Increase = std::vector<double>();
}

bool RayleighNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  out = TruncToByte(double(g) + Increase[rnd.Random(UniformSteps)]);
  return true;
}
