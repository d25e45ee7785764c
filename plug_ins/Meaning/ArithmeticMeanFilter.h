#pragma once
#include "acMeanFilter.h"

// "Arithmetic Mean": the ceiling of the window mean.
class ArithmeticMeanFilter : public acMeanFilter {
public:
  ArithmeticMeanFilter();
  void PreProcessing() override;

protected:
  uint8_t Mean(const uint8_t* values, unsigned count) const override;
  // Integer window sums and an exact multiply-and-shift for the division.
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  // ceil(s / n) = ((s + n - 1) * Multiplier) >> Shift for every window sum s.
  uint64_t Multiplier = 0;
  int Shift = 0;
  // Every sum plus n - 1 fits 16 bits, and so does the multiplier: the narrow loop applies.
  bool Narrow = false;
};
