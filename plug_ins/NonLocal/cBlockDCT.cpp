#include "cBlockDCT.h"

#include <cmath>
#include <cstring>
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
// out = A B for n x n matrices whose rows lie the given strides apart. The inner loop runs along
// a row, so it vectorises; a fixed n unrolls it.
// Four floats at once, in the compiler's portable vector form (SSE on every x86-64); the
// compiler leaves the small fixed loops scalar otherwise.
typedef float tQuad __attribute__((vector_size(16)));

inline tQuad Load(const float* p)
{
  tQuad v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void Store(float* p, tQuad v)
{
  std::memcpy(p, &v, sizeof v);
}

// The same product for 8 x 8 matrices, a row of eight as two quads.
inline void Product8(const float* a, ptrdiff_t aStride, const float* b, ptrdiff_t bStride, float* out,
                     ptrdiff_t outStride)
{
  for (int i = 0; i < 8; ++i) {
    tQuad low = {0, 0, 0, 0}, high = {0, 0, 0, 0};
    for (int k = 0; k < 8; ++k) {
      const float s = a[i * aStride + k];
      low += s * Load(b + k * bStride);
      high += s * Load(b + k * bStride + 4);
    }
    Store(out + i * outStride, low);
    Store(out + i * outStride + 4, high);
  }
}

template <int fixed>
inline void Product(const float* a, ptrdiff_t aStride, const float* b, ptrdiff_t bStride, float* out,
                    ptrdiff_t outStride, int size)
{
  const int n = fixed > 0 ? fixed : size;
  for (int i = 0; i < n; ++i) {
    float row[cBlockDCT::MaxSize] = {};
    for (int k = 0; k < n; ++k) {
      const float s = a[i * aStride + k];
      const float* from = b + k * bStride;
      for (int j = 0; j < n; ++j) row[j] += s * from[j];
    }
    float* o = out + i * outStride;
    for (int j = 0; j < n; ++j) o[j] = row[j];
  }
}

// out = L X R, X's rows inStride apart, out's outStride apart.
template <int fixed>
inline void Transform(const float* left, const float* right, const float* in, ptrdiff_t inStride, float* out,
                      ptrdiff_t outStride, int n)
{
  float t[cBlockDCT::MaxSize * cBlockDCT::MaxSize];
  if constexpr (fixed == 8) {
    Product8(left, 8, in, inStride, t, 8);
    Product8(t, 8, right, 8, out, outStride);
  } else {
    Product<fixed>(left, n, in, inStride, t, n, n);
    Product<fixed>(t, n, right, n, out, outStride, n);
  }
}
}  // namespace

// Forward: (C X) C^T; inverse: (C^T Y) C.
void cBlockDCT::Forward(const float* in, int rowStride, float* out) const
{
  if (N == 8)
    Transform<8>(C.data(), CT.data(), in, rowStride, out, N, N);
  else
    Transform<0>(C.data(), CT.data(), in, rowStride, out, N, N);
}

void cBlockDCT::Inverse(const float* in, float* out, int rowStride) const
{
  if (N == 8)
    Transform<8>(CT.data(), C.data(), in, N, out, rowStride, N);
  else
    Transform<0>(CT.data(), C.data(), in, N, out, rowStride, N);
}
