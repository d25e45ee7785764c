#include "ContrHarmonicMeanFilter.h"

#include <cmath>

ContrHarmonicMeanFilter::ContrHarmonicMeanFilter() : acMeanFilter("Contraharmonic Mean", true)
{
  sParameterInfo info;
  info.ParameterName = "Order";
  info.theParameterType = ptReal;
  info.MinBound = -1;
  info.MaxBound = 1;
  info.DefaultValue = 0;
  info.Precision = 2;
  Params->AddNewParam(info);
  AddRecursiveParam();
}

void ContrHarmonicMeanFilter::PreProcessing()
{
  acMeanFilter::PreProcessing();
  Order = float(Params->GetParam(2)->GetReal());
  const long double q = Order;
  PowerA[0] = PowerB[0] = 0;  // zero samples are ignored entirely
  for (int v = 1; v < 256; ++v) {
    const long double lnv = std::log((long double)v);
    PowerA[size_t(v)] = std::exp((q + 1) * lnv);
    PowerB[size_t(v)] = std::exp(q * lnv);
  }
}

uint8_t ContrHarmonicMeanFilter::Mean(const uint8_t* values, unsigned count) const
{
  long double A = 0;
  long double B = 0;
  for (unsigned i = 0; i < count; ++i) {
    A += PowerA[values[i]];
    B += PowerB[values[i]];
  }
  if (B == 0) return 0;
  const long double r = A / B;
  if (r > 255) return 255;
  // The allowance keeps rounding of exp(ln v) from turning an exact mean v into v - 1.
  return uint8_t(r + 1e-9L);
}
