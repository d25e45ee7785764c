#pragma once
#include <array>

#include "acMeanFilter.h"

// "Harmonic Mean": ceil(N / sum of 1/v) over the non-zero samples, N counting every sample.
class HarmonicMeanFilter : public acMeanFilter {
public:
  HarmonicMeanFilter();
  void PreProcessing() override;

protected:
  uint8_t Mean(const uint8_t* values, unsigned count) const override;

private:
  std::array<long double, 256> Reciprocal{};
};
