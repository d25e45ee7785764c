#pragma once
// Common ground of the photon-noise models: a sample g stands for g * Peak / 255 expected
// photons (Peak the count of white); its photon count is drawn exactly from the Poisson law
// and scaled back to grey levels. Reseeds each run, as the Gaussian noise does, so a fixed
// seed reproduces the field.
#include <array>

#include "acSampleNoise.h"
#include "cPoissonSampler.h"

template <class tNoise>
class acPhotonNoise : public acSampleNoise<tNoise> {
public:
  void PreProcessing() override
  {
    Peak = this->ParamValue(PeakParam);
    for (int g = 0; g < 256; ++g) Samplers[size_t(g)] = cPoissonSampler(g * Peak / 255.0);
    Randomize();
  }

protected:
  void DeclarePeak() { PeakParam = this->Params->AddReal("Peak", 1, 10000, 30, 2); }
  // The photon count of sample g, in grey levels.
  double Photons(uint8_t g, cRandomBatch& rnd) const { return Samplers[g].Draw(rnd) * 255.0 / Peak; }

private:
  sParamHandle PeakParam;
  double Peak = 30.0;
  std::array<cPoissonSampler, 256> Samplers;
};
