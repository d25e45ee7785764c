#pragma once
#include <vector>

#include "acLateralFilter.h"

// "Bilateral": window mean weighted by a spatial weight on the city-block distance (with the
// exponent -(D*D)/2 cut towards zero) and a range weight on the difference to the centre.
class BilateralFilter : public acLateralFilter {
public:
  BilateralFilter();
  void PreProcessing() override;
  void PostProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  sRowForm RowForm() const override;
  // The weights from tables, the sums in the reference's order.
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  double SpatialWeight(int dx, int dy) const;
  double RangeWeight(int difference) const;

  std::vector<double> SpatialTable;      // by (dy + Lo) * WindowSize + (dx + Lo)
  std::vector<double> RangeTable;        // by |difference|
  std::vector<double> OffsetRangeTable;  // SpatialTable[o] * RangeTable[d] at o * 256 + d
};
