#include "cBlockMatcher.h"

#include <algorithm>
#include <cstring>

#include "cBlockDCT.h"
#include "cGroupHaar.h"
#include "kvDiagnostics.h"

KV_UNIT("060pkNonLocal\\cBlockMatcher");

cBlockMatcher::cBlockMatcher(int blockSize, int searchRadius, int maxCount, float threshold)
    : N(blockSize), Radius(searchRadius), MaxCount(maxCount), Threshold(threshold)
{
  KV_ASSERT(maxCount >= 1, "maxCount >= 1");
}

namespace {
// The sum of squared differences over lines first..end-1 added to lanes (one per column).
template <int fixed>
inline void AddLines(const float* a, const float* b, ptrdiff_t lineStep, int first, int end, int size, float* lanes)
{
  const int n = fixed > 0 ? fixed : size;
  a += first * lineStep;
  b += first * lineStep;
  for (int line = first; line < end; ++line, a += lineStep, b += lineStep)
    for (int j = 0; j < n; ++j) {
      const float d = a[j] - b[j];
      lanes[j] += d * d;
    }
}

typedef float tQuad __attribute__((vector_size(16)));

inline tQuad Load(const float* p)
{
  tQuad v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// The same for blocks eight wide, four lanes at a time (the compiler leaves the fixed loop
// above scalar); lanes holds the two quads' sum.
inline void AddLines8(const float* a, const float* b, ptrdiff_t lineStep, int first, int end, tQuad& lanes)
{
  a += first * lineStep;
  b += first * lineStep;
  tQuad low = {0, 0, 0, 0}, high = {0, 0, 0, 0};
  for (int line = first; line < end; ++line, a += lineStep, b += lineStep) {
    const tQuad d0 = Load(a) - Load(b), d1 = Load(a + 4) - Load(b + 4);
    low += d0 * d0;
    high += d1 * d1;
  }
  lanes += low + high;
}

inline float Total(tQuad lanes)
{
  return (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
}

inline float Total(const float* lanes, int n)
{
  float sum = 0;
  for (int j = 0; j < n; ++j) sum += lanes[j];
  return sum;
}

// Nearer first: by distance, then by row, then by column.
inline bool Nearer(const sMatch& a, const sMatch& b)
{
  if (a.Distance != b.Distance) return a.Distance < b.Distance;
  return a.Y != b.Y ? a.Y < b.Y : a.X < b.X;
}

template <int fixed>
int FindMatches(const sBlockSource& source, int x, int y, int radius, int maxCount, float threshold, int size,
                std::vector<sMatch>& matches)
{
  const int n = fixed > 0 ? fixed : size;
  const int x0 = std::max(0, x - radius), x1 = std::min(source.Positions[0] - 1, x + radius);
  const int y0 = std::max(0, y - radius), y1 = std::min(source.Positions[1] - 1, y + radius);
  const float* reference = source.Block(x, y);
  // The others in a heap whose top is the farthest kept; once it is full, a candidate must beat
  // that one, and a candidate is dropped as soon as half its lines exceed the bound. Candidates
  // come in row order, so one at the same distance as the farthest kept loses the tie.
  matches.clear();
  const size_t others = size_t(maxCount - 1);
  float bound = threshold;
  for (int cy = y0; cy <= y1; ++cy)
    for (int cx = x0; cx <= x1; ++cx) {
      if (cx == x && cy == y) continue;
      const float* candidate = source.Block(cx, cy);
      float d;
      if constexpr (fixed == 8) {
        tQuad lanes = {0, 0, 0, 0};
        AddLines8(reference, candidate, source.LineStep, 0, 4, lanes);
        if (Total(lanes) > bound) continue;
        AddLines8(reference, candidate, source.LineStep, 4, 8, lanes);
        d = Total(lanes);
      } else {
        float lanes[cBlockDCT::MaxSize] = {};
        AddLines<fixed>(reference, candidate, source.LineStep, 0, n / 2, n, lanes);
        if (Total(lanes, n) > bound) continue;
        AddLines<fixed>(reference, candidate, source.LineStep, n / 2, n, n, lanes);
        d = Total(lanes, n);
      }
      const bool full = matches.size() == others;
      if (d > bound || (full && d == bound)) continue;
      if (others == 0) continue;
      if (full) {
        std::pop_heap(matches.begin(), matches.end(), Nearer);
        matches.pop_back();
      }
      matches.push_back({d, cx, cy});
      std::push_heap(matches.begin(), matches.end(), Nearer);
      if (matches.size() == others) bound = std::min(threshold, matches.front().Distance);
    }
  std::sort_heap(matches.begin(), matches.end(), Nearer);
  matches.insert(matches.begin(), sMatch{0, x, y});
  const int kept = cGroupHaar::PowerOfTwoBelow(int(matches.size()));
  matches.resize(size_t(kept));
  return kept;
}
}  // namespace

float cBlockMatcher::Distance(const float* a, const float* b, ptrdiff_t lineStep, int n)
{
  float lanes[cBlockDCT::MaxSize] = {};
  AddLines<0>(a, b, lineStep, 0, n, n, lanes);
  return Total(lanes, n);
}

int cBlockMatcher::Find(const sBlockSource& source, int x, int y, std::vector<sMatch>& matches) const
{
  if (N == 8) return FindMatches<8>(source, x, y, Radius, MaxCount, Threshold, N, matches);
  return FindMatches<0>(source, x, y, Radius, MaxCount, Threshold, N, matches);
}
