#pragma once
#include <vector>

#include "cROADStatistic.h"
#include "kvOperations/acSingleChannelOperation.h"

// "Trilateral": bilateral weighting blended with an impulse weight on the ROAD statistic
// through a fuzzy switch J: w = wR^(1-J) * wS * wI^J.
class TrilateralFilter : public acSingleChannelOperation {
public:
  TrilateralFilter();
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
  double RadiometricWeight(int difference) const;
  double ImpulseWeight(int r) const;
  double Switch(int rSum) const;
  static double Combine(double wR, double wS, double wI, double J);
  void PrepareBlendTables();
  void CollectStatistics(std::vector<uint8_t>& present) const;

  sParamHandle SizeParam;
  sParamHandle SigmaSParam;
  sParamHandle SigmaRParam;
  sParamHandle SigmaIParam;
  sParamHandle SigmaJParam;
  sParamHandle RecursiveParam;
  int WindowSize = 3;
  double SigmaS = 5;
  double SigmaR = 40;
  double SigmaI = 50;
  double SigmaJ = 50;
  bool Recursive = false;
  int Lo = 1;
  int Hi = 1;
  std::vector<double> SpatialTable;      // by (dx + Lo) * WindowSize + (dy + Lo)
  std::vector<double> RadiometricTable;  // by |difference|, 0..255
  std::vector<double> ImpulseTable;      // by R, 0..1020
  std::vector<double> SwitchTable;       // by R0 + Rq, 0..2040
  // Combine's powers when tabled: BlendP[BlendRow[R0 + Rq] + difference] (BlendRow -1: never
  // met) and BlendQ[R0 * BlendStride + Rq]. Empty: computed per window sample.
  std::vector<int> BlendRow;
  std::vector<double> BlendP;
  std::vector<double> BlendQ;
  std::vector<double> BlendCentre;  // the centre's own term by R0
  size_t BlendStride = 0;
  uint64_t RunId = 0;  // the statistic rows kept between rows belong to this run
};
