#pragma once
// Helpers shared by the weighted lateral filters.
#include <cmath>
#include <cstdint>

namespace kvLateral {

// exp(numerator / sigma / sigma) for numerator <= 0, with its limit for sigma -> 0+ when sigma
// is 0 (allowed by the bounds): 1 for a zero numerator, 0 otherwise. No division by zero.
inline double SigmaExp(double numerator, double sigma)
{
  if (sigma == 0.0) return numerator == 0.0 ? 1.0 : 0.0;
  return std::exp(numerator / sigma / sigma);
}

// The end step S / T, capped at 255 and cut towards zero. The tiny allowance keeps rounding
// noise from turning an exact mean v (a flat area) into v - 1. When every weight vanished
// (T underflowed to 0) the sample keeps its value instead of producing 0 / 0.
inline uint8_t WeightedMean(double S, double T, uint8_t keep)
{
  if (!(T > 0.0)) return keep;
  const double r = S / T;
  if (r > 255.0) return 255;
  return uint8_t(r + 1e-9);
}

// Window of extent E: offsets -Lower(E) .. +Upper(E) (odd E centred, even E one more ahead).
inline int Lower(int extent)
{
  return (extent - 1) / 2;
}
inline int Upper(int extent)
{
  return extent / 2;
}

}  // namespace kvLateral
