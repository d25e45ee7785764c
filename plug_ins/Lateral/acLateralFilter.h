#pragma once
// Common ground of the bilateral and ROAD filters: a mean over a square window of "Window
// size" weighted by a spatial weight and a second weight on each sample (its range or its
// impulse statistic), optionally recursive. Declares the four parameters and reads them.
#include "kvOperations/acSingleChannelOperation.h"

class acLateralFilter : public acSingleChannelOperation {
public:
  void PreProcessing() override;

protected:
  // A sigma parameter: its name, upper bound and default (from 0, one decimal).
  struct sSigmaParam {
    const char* Name;
    double Max;
    double Default;
  };
  acLateralFilter(const char* name, const char* group, const sSigmaParam& spatial, const sSigmaParam& second);

  int WindowSize = 3;
  double SigmaS = 5;
  // The sigma of the second weight.
  double SecondSigma = 0;
  bool Recursive = false;
  // The window's offsets: -Lo .. Hi.
  int Lo = 1;
  int Hi = 1;

private:
  sParamHandle SizeParam;
  sParamHandle SigmaSParam;
  sParamHandle SecondSigmaParam;
  sParamHandle RecursiveParam;
};
