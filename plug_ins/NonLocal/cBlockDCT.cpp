#include "cBlockDCT.h"

#include <cmath>
#include <numbers>

#include "kvDiagnostics.h"

KV_UNIT("060pkNonLocal\\cBlockDCT");

cBlockDCT::cBlockDCT(int size) : N(size), C(size_t(size) * size_t(size)), CT(size_t(size) * size_t(size))
{
  KV_ASSERT(size >= 1 && size <= MaxSize, "size >= 1 && size <= MaxSize");
  for (int k = 0; k < N; ++k)
    for (int n = 0; n < N; ++n) {
      const double scale = std::sqrt((k == 0 ? 1.0 : 2.0) / N);
      const double c = scale * std::cos(std::numbers::pi * (2 * n + 1) * k / (2.0 * N));
      C[size_t(k) * size_t(N) + size_t(n)] = float(c);
      CT[size_t(n) * size_t(N) + size_t(k)] = float(c);
    }
}

namespace {
// out = A * B for N x N matrices (rows of B and out contiguous, N apart; B's rows bStride apart).
// The inner loop runs along a row, so it vectorises for any N.
inline void Multiply(const float* a, const float* b, int bStride, float* out, int n)
{
  for (int i = 0; i < n; ++i) {
    float* o = out + i * n;
    for (int j = 0; j < n; ++j) o[j] = 0.0f;
    for (int k = 0; k < n; ++k) {
      const float s = a[i * n + k];
      const float* row = b + k * bStride;
      for (int j = 0; j < n; ++j) o[j] += s * row[j];
    }
  }
}
// out = A * B^T-free variant: out = X * M where X rows are xStride apart (M is N x N).
inline void MultiplyRight(const float* x, int xStride, const float* m, float* out, int outStride, int n)
{
  for (int i = 0; i < n; ++i) {
    float* o = out + i * outStride;
    for (int j = 0; j < n; ++j) o[j] = 0.0f;
    for (int k = 0; k < n; ++k) {
      const float s = x[i * xStride + k];
      const float* row = m + k * n;
      for (int j = 0; j < n; ++j) o[j] += s * row[j];
    }
  }
}
}  // namespace

void cBlockDCT::Forward(const float* in, int rowStride, float* out) const
{
  float t[MaxSize * MaxSize];
  Multiply(C.data(), in, rowStride, t, N);      // C X
  MultiplyRight(t, N, CT.data(), out, N, N);    // (C X) C^T
}

void cBlockDCT::Inverse(const float* in, float* out, int rowStride) const
{
  float t[MaxSize * MaxSize];
  Multiply(CT.data(), in, N, t, N);              // C^T Y
  MultiplyRight(t, N, C.data(), out, rowStride, N);  // (C^T Y) C
}
