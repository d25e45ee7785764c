#include "cBlockMatcher.h"

#include <algorithm>

#include "cGroupHaar.h"
#include "kvDiagnostics.h"

KV_UNIT("060pkNonLocal\\cBlockMatcher");

cBlockMatcher::cBlockMatcher(int blockSize, int searchRadius, int maxCount, float threshold)
    : N(blockSize), Radius(searchRadius), MaxCount(maxCount), Threshold(threshold)
{
  KV_ASSERT(maxCount >= 1, "maxCount >= 1");
}

namespace {
template <int n>
inline float FixedDistance(const float* a, const float* b, ptrdiff_t lineStep)
{
  float lanes[n] = {};
  for (int line = 0; line < n; ++line, a += lineStep, b += lineStep)
    for (int j = 0; j < n; ++j) {
      const float d = a[j] - b[j];
      lanes[j] += d * d;
    }
  float sum = 0;
  for (int j = 0; j < n; ++j) sum += lanes[j];
  return sum;
}
}  // namespace

float cBlockMatcher::Distance(const float* a, const float* b, ptrdiff_t lineStep, int n)
{
  if (n == 8) return FixedDistance<8>(a, b, lineStep);
  float sum = 0;
  for (int line = 0; line < n; ++line, a += lineStep, b += lineStep)
    for (int j = 0; j < n; ++j) {
      const float d = a[j] - b[j];
      sum += d * d;
    }
  return sum;
}

int cBlockMatcher::Find(const sBlockSource& source, int x, int y, std::vector<sMatch>& matches) const
{
  matches.clear();
  const int x0 = std::max(0, x - Radius), x1 = std::min(source.Positions[0] - 1, x + Radius);
  const int y0 = std::max(0, y - Radius), y1 = std::min(source.Positions[1] - 1, y + Radius);
  const float* reference = source.Block(x, y);
  for (int cy = y0; cy <= y1; ++cy)
    for (int cx = x0; cx <= x1; ++cx) {
      const float d = Distance(reference, source.Block(cx, cy), source.LineStep, N);
      if (d <= Threshold) matches.push_back({d, cx, cy});
    }
  // The reference itself matches at distance 0 and sorts first among equals by this order
  // only if it is kept apart: another block may be an exact copy.
  auto nearer = [&](const sMatch& a, const sMatch& b) {
    const bool aRef = a.X == x && a.Y == y, bRef = b.X == x && b.Y == y;
    if (aRef != bRef) return aRef;
    if (a.Distance != b.Distance) return a.Distance < b.Distance;
    return a.Y != b.Y ? a.Y < b.Y : a.X < b.X;
  };
  if (matches.empty()) matches.push_back({0, x, y});  // a NaN-free block always matches itself
  const int kept = cGroupHaar::PowerOfTwoBelow(std::min(int(matches.size()), MaxCount));
  std::partial_sort(matches.begin(), matches.begin() + kept, matches.end(), nearer);
  matches.resize(size_t(kept));
  return kept;
}
