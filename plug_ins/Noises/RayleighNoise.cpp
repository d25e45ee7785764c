#include "RayleighNoise.h"

RayleighNoise::RayleighNoise()
{
  Name = "Rayleigh Noise";
  GroupName = "Additive Noises";
  sParameterInfo info;
  info.Precision = 1;
  DeclareReal(info, "A", 0, 50, 10);
  DeclareReal(info, "B", 0, 100, 50);
}

void RayleighNoise::PreProcessing()
{
  A = ParamValue(0);
  B = ParamValue(1);
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

void RayleighNoise::OperationItself(const tTerminateFlag& terminated)
{
  DriveRows(terminated, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}
