#pragma once
// The sums one BM3D stage gathers: every filtered block of every group, weighted by its group's
// weight and a Kaiser window, added into a numerator and a denominator per channel sample.
#include <vector>

#include "cBlockMatcher.h"
#include "cBlockTransform.h"

class cGroupAggregate {
public:
  // For planes width x height of channels, blocks n x n through transform.
  cGroupAggregate(const cBlockTransform& transform, int n, int width, int height, int channels);

  // Adds a group of channel c: count (matches' size) blocks of 2-D coefficients one after the
  // other, each back to samples at its match's place; block is scratch of n x n.
  void Add(int c, const float* group, const std::vector<sMatch>& matches, double weight, float* block);
  // The weighted means into out, one plane per channel; a sample no block reached keeps
  // fallback's.
  void Estimate(const std::vector<std::vector<float>>& fallback, std::vector<std::vector<float>>& out) const;

  // The separable Kaiser window over an n x n block, row by row.
  static std::vector<float> KaiserWindow(int n);

private:
  const cBlockTransform& Transform;
  int N;
  int Width;
  std::vector<float> Window;
  std::vector<std::vector<double>> Numerator, Denominator;
};
