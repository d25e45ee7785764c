#include "cImpulseMedianRows.h"

#include <algorithm>
#include <cstring>
#include "kvByteVectors.h"
#include "kvRuntime/kvVectorClones.h"

namespace {

using namespace kvByteVectors;

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

KV_VECTOR_CLONES void Step3(const uint8_t* const* rows, int channels, uint8_t* out, uint8_t* alone, int n,
                            uint8_t* others)
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
