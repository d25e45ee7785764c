#pragma once
// The orthonormal 2-D DCT-II of an N x N block, written out as a small exact matrix product
// (C X C^T forward, C^T Y C back) rather than taken from FFTW: the blocks are 8 to 12 samples
// wide, where a plan's overhead outweighs the work. Orthonormal, so white noise keeps its
// sigma in every coefficient and block distances are the same in both domains.
#include <cstddef>
#include <vector>

class cBlockDCT {
public:
  static constexpr int MaxSize = 16;

  explicit cBlockDCT(int size);
  int Size() const { return N; }

  // in: N rows of N samples, rowStride apart; out: N * N coefficients, row by row.
  void Forward(const float* in, int rowStride, float* out) const;
  // in: N * N coefficients; out: N rows of N samples, rowStride apart.
  void Inverse(const float* in, float* out, int rowStride) const;

  // The basis: row k holds the k-th cosine sampled at n = 0..N-1.
  float Basis(int k, int n) const { return C[size_t(k) * size_t(N) + size_t(n)]; }

private:
  int N;
  std::vector<float> C;   // C[k][n]
  std::vector<float> CT;  // C transposed
};
