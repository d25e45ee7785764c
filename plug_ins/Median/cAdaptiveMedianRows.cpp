#include "cAdaptiveMedianRows.h"

#include <algorithm>
#include <cstring>
#include "kvByteVectors.h"
#include "kvRuntime/kvVectorClones.h"

namespace {

using namespace kvByteVectors;

// AdaptiveMedianFilter::SelectMiddle on nine values in every lane: the same compare-exchanges
// of the ends with the middle, and the same scans that swap the first extreme found into the
// middle, with the branches turned into lane masks.
KV_INLINE tVector SelectMiddle(tVector* b)
{
  constexpr int count = 9, m = count / 2;
  for (int i = 0; i < m; ++i) {
    const int j = count - 1 - i;
    tMask up = b[i] > b[m];
    Order(b[i], b[m]);
    tMask down = (b[j] < b[m]) & ~up;
    Order(b[m], b[j]);
    up = (b[i] > b[m]) ? ~(up | down) : up;
    Order(b[i], b[m]);
    const tVector middle = b[m];
    // Up: the smallest of positions j .. count - 1 below the middle, the last strict new
    // minimum being the first position holding it. Down: the largest of 0 .. m - 1 likewise.
    tMask newer[count];
    tVector best = middle;
    for (int k = j; k < count; ++k) {
      newer[k] = b[k] < best;
      best = Min(best, b[k]);
    }
    tMask later{};
    for (int k = count - 1; k >= j; --k) {
      b[k] = (newer[k] & ~later & up) ? middle : b[k];
      later |= newer[k];
    }
    b[m] = up ? best : b[m];
    best = middle;
    for (int k = 0; k < m; ++k) {
      newer[k] = b[k] > best;
      best = Max(best, b[k]);
    }
    later = tMask{};
    for (int k = m - 1; k >= 0; --k) {
      b[k] = (newer[k] & ~later & down) ? middle : b[k];
      later |= newer[k];
    }
    b[m] = down ? best : b[m];
  }
  return b[m];
}

// One vector of samples: b holds the window, column by column, each column top to bottom.
KV_INLINE void Settle(tVector* b, uint8_t* out, uint8_t* settled)
{
  const tVector centre = b[4];
  tVector lowest = b[0], highest = b[0];
  for (int k = 1; k < 9; ++k) {
    lowest = Min(lowest, b[k]);
    highest = Max(highest, b[k]);
  }
  const tVector middle = SelectMiddle(b);
  const tMask done = (lowest < middle) & (middle < highest);
  const tMask inner = (lowest < centre) & (centre < highest);
  Store(out, done & ~inner ? middle : centre);
  Store(settled, (tVector)done & 1);
}

KV_INLINE void LoadWindow(const uint8_t* const* rows, int channels, int p, tVector* b)
{
  for (int dx = -1; dx <= 1; ++dx)
    for (int dy = 0; dy < 3; ++dy) b[(dx + 1) * 3 + dy] = Load(rows[dy] + p + dx * channels);
}

KV_VECTOR_CLONES void Middles(const uint8_t* const* values, uint8_t* middles, int n)
{
  tVector b[9];
  for (int p = 0; p < n; p += Lanes) {
    const int lanes = std::min(Lanes, n - p);
    uint8_t lane[Lanes] = {};
    for (int k = 0; k < 9; ++k) {
      std::copy(values[k] + p, values[k] + p + lanes, lane);
      b[k] = Load(lane);
    }
    Store(lane, SelectMiddle(b));
    std::copy(lane, lane + lanes, middles + p);
  }
}

KV_VECTOR_CLONES void Step3(const uint8_t* const* rows, int channels, uint8_t* out, uint8_t* settled, int n)
{
  tVector b[9];
  if (n < Lanes) {
    // Too short for one vector: the windows gathered into lanes.
    uint8_t lane[9][Lanes] = {}, result[Lanes], flags[Lanes];
    for (int j = 0; j < n; ++j)
      for (int dx = -1; dx <= 1; ++dx)
        for (int dy = 0; dy < 3; ++dy) lane[(dx + 1) * 3 + dy][j] = rows[dy][j + dx * channels];
    for (int k = 0; k < 9; ++k) b[k] = Load(lane[k]);
    Settle(b, result, flags);
    std::copy(result, result + n, out);
    std::copy(flags, flags + n, settled);
    return;
  }
  // Whole vectors, then one last vector overlapping the previous one up to the end.
  for (int p = 0;; p += Lanes) {
    if (p + Lanes > n) p = n - Lanes;
    LoadWindow(rows, channels, p, b);
    Settle(b, out + p, settled + p);
    if (p + Lanes >= n) break;
  }
}

}  // namespace

void cAdaptiveMedianRows::MiddlesOfNine(const uint8_t* const* values, uint8_t* middles, int n)
{
  Middles(values, middles, n);
}

void cAdaptiveMedianRows::ThreeByThree(const uint8_t* const* rows, int channels, uint8_t* out, uint8_t* settled, int n)
{
  Step3(rows, channels, out, settled, n);
}
