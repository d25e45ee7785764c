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
  // Decides from a double window sum of the logarithms which integer the mean's exp rounds up
  // to; a mean within a hair of log k goes through Mean.
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  static constexpr int Buckets = 8192;
  sValueTerms Logarithm;
  std::array<double, 256> LogOf{};                // log k, k = 1 .. 255
  std::array<uint8_t, Buckets> FirstCandidate{};  // smallest k with log k >= the bucket's start
  double BucketScale = 0;
};
