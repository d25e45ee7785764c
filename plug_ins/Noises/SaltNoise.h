#pragma once
#include "acFixedImpulseNoise.h"

// Replaces a random share of samples by 255.
class SaltNoise : public acFixedImpulseNoise {
public:
  SaltNoise() : acFixedImpulseNoise("Salt Noise", 255) {}
};
