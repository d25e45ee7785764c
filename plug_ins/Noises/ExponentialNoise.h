#pragma once
#include <vector>

#include "acSampleNoise.h"

// Adds -ln(1 - u) / A for a uniform u in steps of 0.0001; never lowers a sample. Continues
// the shared random sequence (no reseed).
class ExponentialNoise : public acSampleNoise<ExponentialNoise> {
public:
  ExponentialNoise();
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  void PreProcessing() override;
  void PostProcessing() override;

private:
  sParamHandle AParam;
  double A = 0.0;
  // The increase for each of the UniformSteps uniform draws, computed once per run.
  std::vector<double> Increase;
};
