#pragma once
#include <vector>

#include "acNoiseOperation.h"

// Adds -ln(1 - u) / A for a uniform u in steps of 0.0001; never lowers a sample. Continues
// the shared random sequence (no reseed).
class ExponentialNoise : public acNoiseOperation {
public:
  ExponentialNoise();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;
  void PostProcessing() override;

protected:
  void TransformSpan(int y, int firstX, int endX) override;

private:
  sParamHandle AParam;
  bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
  double A = 0.0;
  // The increase for each of the 10000 uniform draws, computed once per run.
  std::vector<double> Increase;
};
