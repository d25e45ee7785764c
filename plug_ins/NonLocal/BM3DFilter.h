#pragma once
// "BM3D Filter": block matching and 3-D collaborative filtering (Dabov, Foi, Katkovnik and
// Egiazarian, 2007), both stages: hard thresholding of groups matched on the noisy picture,
// then empirical Wiener shrinkage of groups matched on that basic estimate. Colour pictures go
// through the opponent colour space, with the groups matched on luminance and shared by the
// chroma channels (CBM3D).
#include <vector>

#include "kvOperations/acOperation.h"

class BM3DFilter : public acOperation {
public:
  // One stage's settings; Threshold is per sample (the block's sum of squared differences
  // divided by N * N), as the paper states it.
  struct sStage {
    int N = 8;          // block side
    int Step = 3;       // between reference blocks
    int GroupMax = 16;  // blocks per group at most
    int Radius = 19;    // search window (2 Radius + 1) squared
    float Threshold = 2500;
    float Lambda3D = 2.7f;  // hard threshold in units of sigma (stage 1)
  };
  enum eProfile { pfNormal = 0, pfFast = 1 };
  // The paper's settings for this noise level and profile.
  static sStage HardStage(double sigma, eProfile profile);
  static sStage WienerStage(double sigma, eProfile profile);

  BM3DFilter();
  void OperationItself(const tTerminateFlag& terminated) override;

private:
  // A working copy of the region with a margin: one float plane per channel.
  struct sPlanes {
    int Left = 0;  // picture column of the first sample column
    int Top = 0;   // picture row of the first row
    int Width = 0;
    int Height = 0;
    std::vector<std::vector<float>> Channel;
  };
  // The source's region with margin samples around it (at least n x n), in opponent colours
  // when it has three channels.
  sPlanes LoadRegion(int margin, int n) const;
  // The final estimate, mapped back from the clipped noise's expectation and rounded, into the
  // result's region.
  void StoreRegion(const sPlanes& final, double sigma);
  // Runs one stage over planes (matching on channel 0 of guide, the Wiener pilot too when
  // wiener); writes the aggregated estimate into out. False when stopped.
  bool RunStage(const sStage& stage, bool wiener, const sPlanes& noisy, const sPlanes& guide, sPlanes& out,
                const std::vector<float>& sigmas, const tTerminateFlag& terminated);

  sParamHandle SigmaParam, ProfileParam;
  // Progress over both stages, in rows of reference blocks.
  unsigned ProgressTotal = 1;
  unsigned ProgressDone = 0;
};
