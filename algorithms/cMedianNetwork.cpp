#include "cMedianNetwork.h"

#include <algorithm>

void cMedianNetwork::Build(unsigned count)
{
  if (count == Count && !Steps.empty()) return;
  Count = count;
  Steps.clear();
  if (count <= 1) return;
  // Batcher's odd-even merge sort on the next power of two; the missing inputs count as
  // larger than everything, so comparators that touch them never exchange and are dropped.
  unsigned n = 1;
  while (n < count) n <<= 1;
  std::vector<sStep> sorter;
  for (unsigned p = 1; p < n; p <<= 1)
    for (unsigned k = p; k >= 1; k >>= 1)
      for (unsigned j = k % p; j + k < n; j += 2 * k)
        for (unsigned i = 0; i < k && i + j + k < n; ++i)
          if ((i + j) / (2 * p) == (i + j + k) / (2 * p) && i + j + k < count)
            sorter.push_back({uint16_t(i + j), uint16_t(i + j + k), skBoth});
  // Keep only what feeds the median row, walking backwards; a comparator of which only one
  // output is needed becomes a single min or max.
  std::vector<bool> needed(count, false);
  needed[ResultRow()] = true;
  for (auto it = sorter.rbegin(); it != sorter.rend(); ++it) {
    const bool wantLow = needed[it->Low];
    const bool wantHigh = needed[it->High];
    if (!wantLow && !wantHigh) continue;
    sStep step = *it;
    step.Kind = wantLow && wantHigh ? skBoth : (wantLow ? skMinOnly : skMaxOnly);
    Steps.push_back(step);
    needed[it->Low] = needed[it->High] = true;
  }
  std::reverse(Steps.begin(), Steps.end());
}

void cMedianNetwork::Apply(uint8_t* block) const
{
  for (const sStep& s : Steps) {
    uint8_t* __restrict a = block + s.Low * BlockWidth;
    uint8_t* __restrict b = block + s.High * BlockWidth;
    switch (s.Kind) {
      case skBoth:
        for (unsigned i = 0; i < BlockWidth; ++i) {
          const uint8_t lo = std::min(a[i], b[i]);
          b[i] = std::max(a[i], b[i]);
          a[i] = lo;
        }
        break;
      case skMinOnly:
        for (unsigned i = 0; i < BlockWidth; ++i) a[i] = std::min(a[i], b[i]);
        break;
      case skMaxOnly:
        for (unsigned i = 0; i < BlockWidth; ++i) b[i] = std::max(a[i], b[i]);
        break;
    }
  }
}
