#pragma once
#include "acPhotonNoise.h"

// Photon (shot) noise: Poisson(g * Peak / 255) * 255 / Peak, rounded half up and clipped.
class PoissonNoise : public acPhotonNoise<PoissonNoise> {
public:
  PoissonNoise();
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
};
