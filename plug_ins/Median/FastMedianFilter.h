#pragma once
// "Median Filter": the median of a W x H window around every sample.
#include <cstdint>
#include <vector>

#include "cMedianNetwork.h"
#include "kvOperations/acSingleChannelOperation.h"

class FastMedianFilter : public acSingleChannelOperation {
public:
  FastMedianFilter();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  sRowForm RowForm() const override;
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  void RowByNetwork(const sWindowRows& in, uint8_t* out, int count) const;

  sParamHandle WidthParam, HeightParam, RecursiveParam;
  uint8_t WidthSize = 3;
  uint8_t HeightSize = 3;
  bool Recursive = false;
  std::vector<uint8_t> Window;  // the reference path's window
  cMedianNetwork Network;
};
