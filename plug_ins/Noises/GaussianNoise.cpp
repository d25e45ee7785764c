#include "GaussianNoise.h"

#include <vector>

GaussianNoise::GaussianNoise()
{
  Describe("Gaussian Noise", "Additive Noises", otNoise, fmParamDialog);
  MeanParam = Params->AddReal("Mean", -255, 255, 0, 2);
  SigmaParam = Params->AddReal("Sigma", 1, 256, 100, 2);
}

void GaussianNoise::PreProcessing()
{
  Mean = float(ParamValue(MeanParam));
  Sigma = float(ParamValue(SigmaParam));
  Randomize();
}

bool GaussianNoise::Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const
{
  const double n = RoundHalfUp(rnd.RandG(Mean, Sigma));
  out = TruncToByte(double(g) + n);
  return true;
}

// One draw per sample, whatever the sample: the row's draws first, then its arithmetic.
void GaussianNoise::TransformSpan(int y, int firstX, int endX)
{
  const int channels = SourceSurface->GetChannelsCount();
  const size_t n = size_t(endX - firstX) * size_t(channels);
  std::vector<double> deviates(n);
  DrawDeviates(Mean, Sigma, deviates.data(), n);
  AddRoundedDeviates(SourceSurface->Row(y) + firstX * channels, nullptr, deviates.data(),
                     ResultSurface->Row(y) + firstX * channels, n);
}
