#pragma once
#include "acFixedImpulseNoise.h"

// Replaces a random share of samples by 0.
class PepperNoise : public acFixedImpulseNoise {
public:
  PepperNoise() : acFixedImpulseNoise("Pepper Noise", 0) {}
};
