#pragma once
#include "acMeanFilter.h"

// "Harmonic Mean": ceil(N / sum of 1/v) over the non-zero samples, N counting every sample.
class HarmonicMeanFilter : public acMeanFilter {
public:
  HarmonicMeanFilter();
  void PreProcessing() override;

protected:
  uint8_t Mean(const uint8_t* values, unsigned count) const override;
  // Decides from a double window sum of the reciprocals; a quotient within a hair of an
  // integer goes through Mean.
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  sValueTerms Reciprocal;
};
