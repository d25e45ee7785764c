#include "ArithmeticMeanFilter.h"

#include <cmath>

ArithmeticMeanFilter::ArithmeticMeanFilter() : acMeanFilter("Arithmetic Mean", false)
{
  AddRecursiveParam();
}

uint8_t ArithmeticMeanFilter::Mean(const uint8_t* values, unsigned count) const
{
  unsigned sum = 0;
  for (unsigned i = 0; i < count; ++i) sum += values[i];
  return uint8_t(std::ceil(double(sum) / double(count)));
}
