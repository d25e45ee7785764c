#pragma once
#include <array>

#include "acMeanFilter.h"

// "Geometric Mean": the ceiling of exp of the mean logarithm; zero samples count as 1.
class GeometricMeanFilter : public acMeanFilter {
public:
  GeometricMeanFilter();
  void PreProcessing() override;

protected:
  uint8_t Mean(const uint8_t* values, unsigned count) const override;

private:
  std::array<long double, 256> Logarithm{};
};
