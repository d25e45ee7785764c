#pragma once
#include <cstdint>

#include "kvOperations/acSingleChannelOperation.h"

// "Gradient Filter": Roberts or Sobel gradient magnitude (|Gx| + |Gy|, or the Euclidean one
// when "Perfect"), scaled by "Factor", cut to an integer and capped at 255.
class GradientFilter : public acSingleChannelOperation {
public:
  GradientFilter();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  sRowForm RowForm() const override;
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  sParamHandle FactorParam;
  sParamHandle OperatorParam;
  sParamHandle PerfectParam;
  double Factor = 1;
  uint8_t Operator = 0;  // 0 Roberts, 1 Sobel
  uint8_t Perfect = 0;
};
