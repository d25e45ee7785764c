#pragma once
#include "acMeanFilter.h"

// "Arithmetic Mean": the ceiling of the window mean.
class ArithmeticMeanFilter : public acMeanFilter {
public:
  ArithmeticMeanFilter();

protected:
  uint8_t Mean(const uint8_t* values, unsigned count) const override;
};
