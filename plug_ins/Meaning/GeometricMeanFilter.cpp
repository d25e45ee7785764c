#include "GeometricMeanFilter.h"

#include <cmath>

GeometricMeanFilter::GeometricMeanFilter() : acMeanFilter("Geometric Mean", false)
{
  AddRecursiveParam();
}

void GeometricMeanFilter::PreProcessing()
{
  acMeanFilter::PreProcessing();
  Logarithm[0] = 0;  // zero samples add nothing
  for (int v = 1; v < 256; ++v) Logarithm[size_t(v)] = std::log((long double)v);
}

uint8_t GeometricMeanFilter::Mean(const uint8_t* values, unsigned count) const
{
  long double L = 0;
  for (unsigned i = 0; i < count; ++i) L += Logarithm[values[i]];
  const long double r = std::ceil(std::exp(L / (long double)count));
  // A window of 255s may come out a hair above 255; the ceiling must not wrap to 0.
  return r > 255 ? uint8_t(255) : uint8_t(r);
}
