#pragma once
#include <vector>

#include "acSampleNoise.h"

// Adds A + sqrt(-B ln(1 - u)) for a uniform u in steps of 0.0001; never lowers a sample.
// Continues the shared random sequence (no reseed).
class RayleighNoise : public acSampleNoise<RayleighNoise> {
public:
  RayleighNoise();
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  void PreProcessing() override;
  void PostProcessing() override;

private:
  sParamHandle AParam;
  sParamHandle BParam;
  double A = 0.0;
  double B = 0.0;
  // The increase for each of the UniformSteps uniform draws, computed once per run.
  std::vector<double> Increase;
};
