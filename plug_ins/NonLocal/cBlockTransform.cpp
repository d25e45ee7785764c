#include "cBlockTransform.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("060pkNonLocal\\cBlockTransform");

namespace {
// The full three-level biorthogonal 1.5 decomposition of 8 samples, periodic, each row scaled to
// unit norm: the average, the coarse detail, two middle and four fine ones.
constexpr double Bior15[8][8] = {{0.353553390593274, 0.353553390593274, 0.353553390593274, 0.353553390593274,
                                  0.353553390593274, 0.353553390593274, 0.353553390593274, 0.353553390593274},
                                 {0.219417649252501, 0.449283757993216, 0.449283757993216, 0.219417649252501,
                                  -0.219417649252501, -0.449283757993216, -0.449283757993216, -0.219417649252501},
                                 {0.569359398342846, 0.402347308162278, -0.402347308162278, -0.569359398342846,
                                  -0.083506045090284, 0.083506045090284, -0.083506045090284, 0.083506045090284},
                                 {-0.083506045090284, 0.083506045090284, -0.083506045090284, 0.083506045090284,
                                  0.569359398342846, 0.402347308162278, -0.402347308162278, -0.569359398342846},
                                 {0.707106781186547, -0.707106781186547, 0, 0, 0, 0, 0, 0},
                                 {0, 0, 0.707106781186547, -0.707106781186547, 0, 0, 0, 0},
                                 {0, 0, 0, 0, 0.707106781186547, -0.707106781186547, 0, 0},
                                 {0, 0, 0, 0, 0, 0, 0.707106781186547, -0.707106781186547}};

// The inverse of an n x n matrix, by Gauss-Jordan elimination with partial pivoting.
std::vector<double> Inverted(std::vector<double> a, int n)
{
  std::vector<double> inv(size_t(n) * size_t(n), 0.0);
  for (int i = 0; i < n; ++i) inv[size_t(i * n + i)] = 1.0;
  for (int col = 0; col < n; ++col) {
    int pivot = col;
    for (int r = col + 1; r < n; ++r)
      if (std::fabs(a[size_t(r * n + col)]) > std::fabs(a[size_t(pivot * n + col)])) pivot = r;
    for (int j = 0; j < n; ++j) {
      std::swap(a[size_t(col * n + j)], a[size_t(pivot * n + j)]);
      std::swap(inv[size_t(col * n + j)], inv[size_t(pivot * n + j)]);
    }
    const double p = a[size_t(col * n + col)];
    for (int j = 0; j < n; ++j) {
      a[size_t(col * n + j)] /= p;
      inv[size_t(col * n + j)] /= p;
    }
    for (int r = 0; r < n; ++r) {
      if (r == col) continue;
      const double f = a[size_t(r * n + col)];
      for (int j = 0; j < n; ++j) {
        a[size_t(r * n + j)] -= f * a[size_t(col * n + j)];
        inv[size_t(r * n + j)] -= f * inv[size_t(col * n + j)];
      }
    }
  }
  return inv;
}
}  // namespace

cBlockTransform::cBlockTransform(int size, eKind kind) : N(size)
{
  KV_ASSERT(size >= 1 && size <= MaxSize, "size >= 1 && size <= MaxSize");
  KV_ASSERT(kind == btDCT || size == 8, "the wavelet is of 8 samples");
  const size_t nn = size_t(N) * size_t(N);
  std::vector<double> c(nn);
  for (int k = 0; k < N; ++k)
    for (int n = 0; n < N; ++n) {
      const double scale = std::sqrt((k == 0 ? 1.0 : 2.0) / N);
      c[size_t(k * N + n)] =
          kind == btBior15 ? Bior15[k][n] : scale * std::cos(std::numbers::pi * (2 * n + 1) * k / (2.0 * N));
    }
  // The DCT is orthonormal: its inverse is exactly its transpose.
  std::vector<double> d(nn);
  for (int k = 0; k < N; ++k)
    for (int n = 0; n < N; ++n) d[size_t(k * N + n)] = c[size_t(n * N + k)];
  if (kind == btBior15) d = Inverted(c, N);
  C.resize(nn);
  CT.resize(nn);
  D.resize(nn);
  DT.resize(nn);
  for (int k = 0; k < N; ++k)
    for (int n = 0; n < N; ++n) {
      C[size_t(k * N + n)] = CT[size_t(n * N + k)] = float(c[size_t(k * N + n)]);
      D[size_t(k * N + n)] = DT[size_t(n * N + k)] = float(d[size_t(k * N + n)]);
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
    float row[cBlockTransform::MaxSize] = {};
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
  float t[cBlockTransform::MaxSize * cBlockTransform::MaxSize];
  if constexpr (fixed == 8) {
    Product8(left, 8, in, inStride, t, 8);
    Product8(t, 8, right, 8, out, outStride);
  } else {
    Product<fixed>(left, n, in, inStride, t, n, n);
    Product<fixed>(t, n, right, n, out, outStride, n);
  }
}
}  // namespace

// Forward: (C X) C^T; inverse: (D Y) D^T, D = C^-1 (= C^T for the DCT).
void cBlockTransform::Forward(const float* in, int rowStride, float* out) const
{
  if (N == 8)
    Transform<8>(C.data(), CT.data(), in, rowStride, out, N, N);
  else
    Transform<0>(C.data(), CT.data(), in, rowStride, out, N, N);
}

void cBlockTransform::Inverse(const float* in, float* out, int rowStride) const
{
  if (N == 8)
    Transform<8>(D.data(), DT.data(), in, N, out, rowStride, N);
  else
    Transform<0>(D.data(), DT.data(), in, N, out, rowStride, N);
}
