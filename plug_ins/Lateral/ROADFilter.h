#pragma once
#include <vector>

#include "acLateralFilter.h"
#include "cROADStatistic.h"

// "ROAD filter": window mean weighted by a spatial weight and an impulse weight on the ROAD
// statistic of each window sample, so impulses hardly count in their neighbours' means.
class ROADFilter : public acLateralFilter {
public:
  ROADFilter();
  void PreProcessing() override;
  void PostProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  sRowForm RowForm() const override;
  // The statistic from the window rows, the weights from tables, the sums in the reference's
  // order.
  void TransformRow(const sWindowRows& in, uint8_t* out, int count) override;

private:
  double SpatialWeight(int dx, int dy) const;
  double ImpulseWeight(int r) const;

  std::vector<double> SpatialTable;  // by (dx + Lo) * WindowSize + (dy + Lo)
  std::vector<double> ImpulseTable;  // by R, 0..1020
};
