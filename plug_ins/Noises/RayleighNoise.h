#pragma once
#include <vector>

#include "acNoiseOperation.h"

// Adds A + sqrt(-B ln(1 - u)) for a uniform u in steps of 0.0001; never lowers a sample.
// Continues the shared random sequence (no reseed).
class RayleighNoise : public acNoiseOperation {
public:
  RayleighNoise();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;
  void PostProcessing() override;

protected:
  void TransformSpan(int y, int firstX, int endX) override;

private:
  sParamHandle AParam;
  sParamHandle BParam;
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  double A = 0.0;
  double B = 0.0;
  // The increase for each of the 10000 uniform draws, computed once per run.
  std::vector<double> Increase;
};
