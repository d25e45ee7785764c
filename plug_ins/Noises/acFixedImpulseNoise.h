#pragma once
#include "acSampleNoise.h"

// Replaces a random share ("Noise percent") of samples by one fixed impulse value.
class acFixedImpulseNoise : public acSampleNoise<acFixedImpulseNoise> {
public:
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  void PreProcessing() override;

protected:
  acFixedImpulseNoise(const char* name, uint8_t impulse);

private:
  uint8_t Impulse;
  sParamHandle PercentParam;
  unsigned HitCount = 0;
};
