#pragma once
// "Non-Local Means" (Buades, Coll and Morel): every pixel becomes the mean of the pixels of a
// square search window around it, each weighted by how alike the patches around the two are.
// Patch distance d2: the mean squared difference over the patch and the channels; weight
// exp(-max(d2 - 2 sigma^2, 0) / h^2) with h = Strength x Sigma; the pixel itself takes the
// largest weight found in its window. Samples outside the picture follow the border rule.
#include <cstdint>
#include <functional>
#include <vector>

#include "kvOperations/acSingleChannelOperation.h"

class NonLocalMeansFilter : public acSingleChannelOperation {
public:
  NonLocalMeansFilter();
  void OperationItself(const tTerminateFlag& terminated) override;

  // The weight of two patches whose squared sample differences, over the patch and the
  // channels, add up to sum (valid after a run has read the parameters).
  float Weight(int32_t sum) const;
  // Weight for count sums at once, with the same results.
  void Weights(const int32_t* sums, float* weights, int count) const;

private:
  struct sOffset {
    int Dx;
    int Dy;
  };
  // The picture's samples around the region, extended past the edges by the border rule.
  struct sPadded {
    std::vector<uint8_t> Samples;
    int Channels = 1;
    int Left = 0;  // picture column of the first sample column
    int Top = 0;   // picture row of the first row
    int Stride = 0;
    const uint8_t* At(int x, int y) const;
  };

  void Prepare(int channels);
  // One pixel after the other, every patch compared sample by sample through the border rule:
  // the reference the fast path is held to.
  void RunPlain(const tTerminateFlag& terminated);
  // Per offset, the patch distances of all pixels from sliding sums of the squared
  // differences; rows in blocks across the worker pool.
  void RunFast(const tTerminateFlag& terminated);
  // Filters picture rows firstRow..endRow-1 of the region; false when stopped first.
  bool FilterBlock(const sPadded& padded, int firstRow, int endRow, const tTerminateFlag& terminated,
                   const std::function<void()>& offsetDone);

  sParamHandle SigmaParam;
  sParamHandle PatchParam;
  sParamHandle SearchParam;
  sParamHandle StrengthParam;

  int Channels = 1;
  int PatchRadius = 3;
  int SearchRadius = 10;
  // Half of the search window's offsets: the other half are their opposites, whose distances
  // are the same ones seen from the other pixel.
  std::vector<sOffset> HalfOffsets;
  // The weight as a function of the summed squared differences: 2 sigma^2 x patch samples x
  // channels, and log2 e / (h^2 x patch samples x channels).
  float NoiseSum = 0;
  float Scale = 0;
};
