#pragma once
#include "kvOperations/acSingleChannelOperation.h"

// "SD-ROM": replaces the centre by the rank-ordered mean of its eight neighbours when one of
// its four rank-ordered differences passes its threshold; otherwise keeps it.
class SD_ROM2Filter : public acSingleChannelOperation {
public:
  SD_ROM2Filter();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  sRowForm RowForm() const override;
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  uint8_t Decide(int* neighbours, int c) const;

  sParamHandle ThresholdParams[4];
  sParamHandle RecursiveParam;
  float Threshold[4] = {8, 20, 40, 50};
  bool Recursive = false;
};
