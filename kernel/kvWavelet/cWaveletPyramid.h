#pragma once
// A multi-level separable 2-D discrete wavelet transform of one real plane with half-sample
// symmetric extension at the borders (x[-1] = x[0], x[n] = x[n - 1]). A level turns an
// n-sample line into (n + L - 1) / 2 low-pass and as many high-pass coefficients for a filter
// of length L, a few more than n / 2, so that an orthogonal bank reconstructs every sample
// exactly for any extent, odd or even, without the seam periodic extension puts at the borders.
#include <vector>

#include "kvWavelet/cWavelet.h"

class cWaveletPyramid {
public:
  struct sBand {
    int Width = 0;
    int Height = 0;
    std::vector<double> Data;  // row-major
  };
  // The three detail bands of a level: high-pass along x (LH), along y (HL), along both (HH).
  enum eDetail { dtHorizontal = 0, dtVertical = 1, dtDiagonal = 2 };

  explicit cWaveletPyramid(const cWavelet& wavelet);

  // Replaces the pyramid by the transform of a width x height plane over levels levels.
  void Decompose(const double* plane, int width, int height, int levels);
  // The plane Decompose was given, from the (possibly changed) bands.
  void Reconstruct(double* plane) const;

  int Levels() const { return int(Details.size()); }
  // Level 0 is the finest.
  sBand& Detail(int level, eDetail kind) { return Details[size_t(level)][kind]; }
  sBand& Approximation() { return Coarse; }
  // Coefficients per line of n samples.
  int BandExtent(int n) const { return (n + int(Low.size()) - 1) / 2; }

private:
  void AnalyseLevel(const sBand& in, sBand& low, sBand bands[3]) const;
  void SynthesiseLevel(const sBand& low, const sBand bands[3], sBand& out) const;

  // Analysis filters reversed, so that a coefficient is a dot product with consecutive samples.
  std::vector<double> Low, High;
  std::vector<double> SynthesisLow, SynthesisHigh;
  std::vector<sBand> Sizes;  // each level's input extent (no data)
  std::vector<std::vector<sBand>> Details;
  sBand Coarse;
};
