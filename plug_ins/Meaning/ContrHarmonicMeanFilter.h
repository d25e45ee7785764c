#pragma once
#include "acMeanFilter.h"

// "Contraharmonic Mean" of order Q: sum v^(Q+1) / sum v^Q over the non-zero samples, cut
// down. "Window height" is its horizontal extent and "Window width" its vertical one.
class ContrHarmonicMeanFilter : public acMeanFilter {
public:
  ContrHarmonicMeanFilter();
  void PreProcessing() override;

protected:
  uint8_t Mean(const uint8_t* values, unsigned count) const override;
  // Decides from double window sums of the powers; a quotient within a hair of a step of the
  // cut goes through Mean.
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  sParamHandle OrderParam;
  float Order = 0;
  sValueTerms PowerA;  // v^(Q+1)
  sValueTerms PowerB;  // v^Q
};
