#include "SimpleSpeckleNoise.h"

namespace {
// sqrt of every sample value, so the per-sample work is one multiply-add.
struct sRoots {
  double Value[256];
  sRoots()
  {
    for (int g = 0; g < 256; ++g) Value[g] = std::sqrt(double(g));
  }
};
const sRoots Roots;
}  // namespace

SimpleSpeckleNoise::SimpleSpeckleNoise()
{
  Name = "Speckle Noise";
  GroupName = "Multiplicative Noises";
  sParameterInfo info;
  info.Precision = 2;
  DeclareReal(info, "Standart Deviation", 0, 100, 10);
  DeclareReal(info, "Degree of correlation", 0, 1, 0.5);
}

void SimpleSpeckleNoise::PreProcessing()
{
  Sigma = float(ParamValue(0));
  Correlation = float(ParamValue(1));
  Randomize();
}

inline bool SimpleSpeckleNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  const double n = RoundHalfUp(rnd.RandG(0.0, Sigma));
  out = TruncToByte(double(g) + double(Correlation) * Roots.Value[g] * n);
  return true;
}

void SimpleSpeckleNoise::TransformPixel(unsigned x, unsigned y)
{
  DriveSample(x, y, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}

void SimpleSpeckleNoise::OperationItself(const tTerminateFlag& terminated)
{
  DriveRows(terminated, [this](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return Sample(g, rnd, out); });
}
