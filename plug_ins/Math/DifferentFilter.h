#pragma once
#include <cstdint>
#include <vector>

#include "kvOperations/acSingleChannelOperation.h"

// "Different Filter": mixed backward difference of order "Degree X" in x and "Degree Y" in y,
// |sum of g(x - i, y - j) C(Dx, i) C(Dy, j) (-1)^(i+Dx+j+Dy)|, capped at 255.
class DifferentFilter : public acSingleChannelOperation {
public:
  DifferentFilter();
  void PreProcessing() override;
  void PostProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  sRowForm RowForm() const override;
  // The weights are a product of an x and a y factor: a pass along each row, then across them.
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  sParamHandle DegreeXParam;
  sParamHandle DegreeYParam;
  int32_t DegreeX = 0;
  int32_t DegreeY = 0;
  // Signed binomial factors of x offset i and y offset j. A row pass stays within 255 * 2^20;
  // the whole sum reaches 255 * 2^40, so it is 64-bit.
  std::vector<int32_t> FactorX;
  std::vector<int64_t> FactorY;
};
