#include "SimpleSpeckleNoise.h"

#include <vector>

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
  Describe("Speckle Noise", "Multiplicative Noises", otNoise, fmParamDialog);
  SigmaParam = Params->AddReal("Standart Deviation", 0, 100, 10, 2);
  CorrelationParam = Params->AddReal("Degree of correlation", 0, 1, 0.5, 2);
}

void SimpleSpeckleNoise::PreProcessing()
{
  Sigma = float(ParamValue(SigmaParam));
  Correlation = float(ParamValue(CorrelationParam));
  for (int g = 0; g < 256; ++g) Scale[size_t(g)] = double(Correlation) * Roots.Value[g];
  Randomize();
}

bool SimpleSpeckleNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  const double n = RoundHalfUp(rnd.RandG(0.0, Sigma));
  out = TruncToByte(double(g) + double(Correlation) * Roots.Value[g] * n);
  return true;
}

// One draw per sample, whatever the sample: the row's draws first, then its arithmetic.
void SimpleSpeckleNoise::TransformSpan(int y, int firstX, int endX)
{
  const int channels = SourceSurface->GetChannelsCount();
  const size_t n = size_t(endX - firstX) * size_t(channels);
  const uint8_t* in = SourceSurface->Row(y) + firstX * channels;
  std::vector<double> deviates(n);
  DrawDeviates(0.0, Sigma, deviates.data(), n);
  AddRoundedDeviates(in, Scale.data(), deviates.data(), ResultSurface->Row(y) + firstX * channels, n);
}
