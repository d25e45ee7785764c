#include "cImpulseMedianRows.h"

#include <algorithm>
#include <cstring>
#include "kvVectorClones.h"

// The 32-byte vectors never cross a call of another unit (everything here is inlined), so the
// note that their passing differs with and without AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

#define KV_INLINE inline __attribute__((always_inline))

namespace {

typedef uint8_t tVector __attribute__((vector_size(32)));
typedef int8_t tMask __attribute__((vector_size(32)));
constexpr int Lanes = 32;

KV_INLINE tVector Min(tVector a, tVector b) { return a < b ? a : b; }
KV_INLINE tVector Max(tVector a, tVector b) { return a < b ? b : a; }

KV_INLINE tVector Load(const uint8_t* p)
{
  tVector v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

KV_INLINE void Store(uint8_t* p, tVector v) { std::memcpy(p, &v, sizeof v); }

KV_INLINE void Order(tVector& a, tVector& b)
{
  const tVector lo = Min(a, b);
  b = Max(a, b);
  a = lo;
}

// The classic 19-exchange median of nine.
KV_INLINE tVector MedianOfNine(tVector* p)
{
  Order(p[1], p[2]); Order(p[4], p[5]); Order(p[7], p[8]);
  Order(p[0], p[1]); Order(p[3], p[4]); Order(p[6], p[7]);
  Order(p[1], p[2]); Order(p[4], p[5]); Order(p[7], p[8]);
  Order(p[0], p[3]); Order(p[5], p[8]); Order(p[4], p[7]);
  Order(p[3], p[6]); Order(p[1], p[4]); Order(p[2], p[5]);
  Order(p[4], p[7]); Order(p[4], p[2]); Order(p[6], p[4]);
  Order(p[4], p[2]);
  return p[4];
}

// b holds the nine samples of each lane's window, b[4] the sample itself.
KV_INLINE void Replace(tVector* b, uint8_t* out, uint8_t* alone, uint8_t* counts)
{
  const tVector centre = b[4];
  tMask impulse[9];
  tVector others{};
  for (int k = 0; k < 9; ++k) {
    impulse[k] = (b[k] == 0) | (b[k] == 255);
    others += (tVector)~impulse[k] & 1;
  }
  // Rank (others - 1) / 2 of the other samples is rank 4 of the nine once this many 0s come
  // below them and 255s fill the rest (a lane without others is not read).
  const tVector zeros = 4 - ((others - 1) >> 1);
  tVector seen{};
  for (int k = 0; k < 9; ++k) {
    const tVector padding = seen < zeros ? tVector{} : tVector{} + 255;
    b[k] = impulse[k] ? padding : b[k];
    seen += (tVector)impulse[k] & 1;
  }
  const tVector median = MedianOfNine(b);
  const tMask lonely = impulse[4] & (others == 0);
  Store(out, impulse[4] & ~lonely ? median : centre);
  Store(alone, (tVector)lonely & 1);
  if (counts) Store(counts, others);
}

KV_INLINE void LoadWindow(const uint8_t* const* rows, int channels, int p, tVector* b)
{
  for (int dx = -1; dx <= 1; ++dx)
    for (int dy = 0; dy < 3; ++dy) b[(dx + 1) * 3 + dy] = Load(rows[dy] + p + dx * channels);
}

KV_VECTOR_CLONES void Step3(const uint8_t* const* rows, int channels, uint8_t* out,
                                                               uint8_t* alone, int n, uint8_t* others)
{
  tVector b[9];
  if (n < Lanes) {
    // Too short for one vector: the windows gathered into lanes.
    uint8_t lane[9][Lanes] = {}, result[Lanes], flags[Lanes], counts[Lanes];
    for (int j = 0; j < n; ++j)
      for (int dx = -1; dx <= 1; ++dx)
        for (int dy = 0; dy < 3; ++dy) lane[(dx + 1) * 3 + dy][j] = rows[dy][j + dx * channels];
    for (int k = 0; k < 9; ++k) b[k] = Load(lane[k]);
    Replace(b, result, flags, counts);
    std::copy(result, result + n, out);
    std::copy(flags, flags + n, alone);
    if (others) std::copy(counts, counts + n, others);
    return;
  }
  // Whole vectors, then one last vector overlapping the previous one up to the end.
  for (int p = 0;; p += Lanes) {
    if (p + Lanes > n) p = n - Lanes;
    LoadWindow(rows, channels, p, b);
    Replace(b, out + p, alone + p, others ? others + p : nullptr);
    if (p + Lanes >= n) break;
  }
}

}  // namespace

void cImpulseMedianRows::ThreeByThree(const uint8_t* const* rows, int channels, uint8_t* out, uint8_t* alone, int n,
                                      uint8_t* others)
{
  Step3(rows, channels, out, alone, n, others);
}
