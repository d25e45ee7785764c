#pragma once
// "Total Variation Filter": Chambolle's total-variation denoising of each channel alone, on the
// samples scaled to [0, 1], with scikit-image's iterations and stopping rule (see
// cChambolleSolver); the region is treated as a picture of its own.
#include <vector>

#include "cChambolleSolver.h"
#include "kvOperations/acSingleChannelOperation.h"

class TotalVariationFilter : public acSingleChannelOperation {
public:
  TotalVariationFilter();
  void OperationItself(const tTerminateFlag& terminated) override;

private:
  sParamHandle WeightParam, IterationsParam, ToleranceParam;
  cChambolleSolver Solver;
  std::vector<double> Plane, Smoothed;
};
