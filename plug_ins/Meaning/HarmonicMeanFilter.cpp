#include "HarmonicMeanFilter.h"

#include <cmath>

HarmonicMeanFilter::HarmonicMeanFilter() : acMeanFilter("Harmonic Mean", false)
{
  AddRecursiveParam();
}

void HarmonicMeanFilter::PreProcessing()
{
  acMeanFilter::PreProcessing();
  Reciprocal[0] = 0;  // zero samples add nothing
  for (int v = 1; v < 256; ++v) Reciprocal[size_t(v)] = 1.0L / (long double)v;
}

uint8_t HarmonicMeanFilter::Mean(const uint8_t* values, unsigned count) const
{
  long double H = 0;
  for (unsigned i = 0; i < count; ++i) H += Reciprocal[values[i]];
  if (H == 0) return 0;
  const long double r = std::ceil((long double)count / H);
  return r > 255 ? uint8_t(255) : uint8_t(r);
}
