#pragma once
#include <vector>

#include "acSingleChannelOperation.h"
#include "cROADStatistic.h"

// "ROAD filter": window mean weighted by a spatial weight and an impulse weight on the ROAD
// statistic of each window sample, so impulses hardly count in their neighbours' means.
class ROADFilter : public acSingleChannelOperation {
public:
  ROADFilter();
  void PreProcessing() override;
  void PostProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

  // Off: every sample by the plain formula (kept as the reference of the tabled interior path).
  bool FastPath = true;

private:
  double SpatialWeight(int dx, int dy) const;
  double ImpulseWeight(int r) const;
  void TransformPlain(const cBMPSurface& in, int x, int y);

  int WindowSize = 3;
  double SigmaS = 5;
  double SigmaI = 50;
  bool Recursive = false;
  int Lo = 1;
  int Hi = 1;
  std::vector<double> SpatialTable;  // by (dx + Lo) * WindowSize + (dy + Lo)
  std::vector<double> ImpulseTable;  // by R, 0..1020
  cROADStatistic RMap;
};
