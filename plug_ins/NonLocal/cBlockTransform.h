#pragma once
// A separable 2-D transform of an N x N block, written out as a small exact matrix product
// (C X C^T forward, D Y D^T back, D = C^-1) rather than taken from FFTW: the blocks are 8 to 12
// samples wide, where a plan's overhead outweighs the work. Either the orthonormal DCT-II, so
// white noise keeps its sigma in every coefficient and block distances are the same in both
// domains, or (8 x 8 only) the biorthogonal 1.5 wavelet with unit-norm analysis rows, so each
// coefficient still carries the noise's sigma, though no longer independently.
#include <cstddef>
#include <vector>

class cBlockTransform {
public:
  static constexpr int MaxSize = 16;

  enum eKind { btDCT, btBior15 };
  explicit cBlockTransform(int size, eKind kind = btDCT);
  int Size() const { return N; }

  // in: N rows of N samples, rowStride apart; out: N * N coefficients, row by row.
  void Forward(const float* in, int rowStride, float* out) const;
  // in: N * N coefficients; out: N rows of N samples, rowStride apart.
  void Inverse(const float* in, float* out, int rowStride) const;

  // The analysis basis: row k sampled at n = 0..N-1 (the k-th cosine for the DCT).
  float Basis(int k, int n) const { return C[size_t(k) * size_t(N) + size_t(n)]; }

private:
  int N;
  std::vector<float> C;   // C[k][n]
  std::vector<float> CT;  // C transposed
  std::vector<float> D;   // the inverse of C
  std::vector<float> DT;  // D transposed
};
