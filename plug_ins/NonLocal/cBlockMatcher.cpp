#include "cBlockMatcher.h"

#include <algorithm>
#include <cstring>

#include "cBlockTransform.h"
#include "cGroupHaar.h"
#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("060pkNonLocal\\cBlockMatcher");

cBlockMatcher::cBlockMatcher(int blockSize, int searchRadius, int maxCount, float threshold)
    : N(blockSize), Radius(searchRadius), MaxCount(maxCount), Threshold(threshold)
{
  KV_ASSERT(maxCount >= 1, "maxCount >= 1");
}

namespace {
// Every distance is a sum over the block's columns of that column's sum over its lines, each
// taken in line order, and the columns combined in one fixed order (Combine), so the plain and
// the row-at-a-time matching give the very same floats.

// Column sums of lines first..end-1 added to columns.
template <int fixed>
inline void AddLines(const float* a, const float* b, ptrdiff_t lineStep, int first, int end, int size, float* columns)
{
  const int n = fixed > 0 ? fixed : size;
  a += first * lineStep;
  b += first * lineStep;
  for (int line = first; line < end; ++line, a += lineStep, b += lineStep)
    for (int j = 0; j < n; ++j) {
      const float d = a[j] - b[j];
      columns[j] += d * d;
    }
}

// Columns 0..3 and 4..7 as two quads: the compiler leaves the fixed loop above scalar.
typedef float tQuad __attribute__((vector_size(16)));

inline tQuad Load(const float* p)
{
  tQuad v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void AddLines8(const float* a, const float* b, ptrdiff_t lineStep, int first, int end, tQuad& low, tQuad& high)
{
  a += first * lineStep;
  b += first * lineStep;
  for (int line = first; line < end; ++line, a += lineStep, b += lineStep) {
    const tQuad d0 = Load(a) - Load(b), d1 = Load(a + 4) - Load(b + 4);
    low += d0 * d0;
    high += d1 * d1;
  }
}

inline float Combine8(float c0, float c1, float c2, float c3, float c4, float c5, float c6, float c7)
{
  return ((c0 + c4) + (c1 + c5)) + ((c2 + c6) + (c3 + c7));
}

inline float Combine(const float* columns, int n)
{
  if (n == 8)
    return Combine8(columns[0], columns[1], columns[2], columns[3], columns[4], columns[5], columns[6], columns[7]);
  float sum = 0;
  for (int j = 0; j < n; ++j) sum += columns[j];
  return sum;
}

// Nearer first: by distance, then by row, then by column.
inline bool Nearer(const sMatch& a, const sMatch& b)
{
  if (a.Distance != b.Distance) return a.Distance < b.Distance;
  return a.Y != b.Y ? a.Y < b.Y : a.X < b.X;
}

// The nearest candidates offered in row order, in a heap whose top is the farthest kept. Once
// it is full a candidate must beat that one; coming later in row order, one at the same
// distance loses the tie.
class cNearest {
public:
  cNearest(std::vector<sMatch>& matches, int maxCount, float threshold)
      : Matches(matches), Others(size_t(maxCount - 1)), Threshold(threshold)
  {
    Matches.clear();
    Bound = threshold;
  }
  float Bound = 0;  // a candidate farther than this is not taken

  void Offer(float d, int x, int y)
  {
    const bool full = Matches.size() == Others;
    if (d > Bound || (full && d == Bound) || Others == 0) return;
    if (full) {
      std::pop_heap(Matches.begin(), Matches.end(), Nearer);
      Matches.pop_back();
    }
    Matches.push_back({d, x, y});
    std::push_heap(Matches.begin(), Matches.end(), Nearer);
    if (Matches.size() == Others) Bound = std::min(Threshold, Matches.front().Distance);
  }
  // The reference first, then the others nearest first, trimmed to a power of two.
  int Finish(int x, int y)
  {
    std::sort_heap(Matches.begin(), Matches.end(), Nearer);
    Matches.insert(Matches.begin(), sMatch{0, x, y});
    const int kept = cGroupHaar::PowerOfTwoBelow(int(Matches.size()));
    Matches.resize(size_t(kept));
    return kept;
  }

private:
  std::vector<sMatch>& Matches;
  size_t Others;
  float Threshold;
};

// A candidate is dropped as soon as its first half of lines passes the bound.
template <int fixed>
int FindMatches(const sBlockSource& source, int x, int y, int radius, int maxCount, float threshold, int size,
                std::vector<sMatch>& matches)
{
  const int n = fixed > 0 ? fixed : size;
  const int x0 = std::max(0, x - radius), x1 = std::min(source.Positions[0] - 1, x + radius);
  const int y0 = std::max(0, y - radius), y1 = std::min(source.Positions[1] - 1, y + radius);
  const float* reference = source.Block(x, y);
  cNearest nearest(matches, maxCount, threshold);
  for (int cy = y0; cy <= y1; ++cy)
    for (int cx = x0; cx <= x1; ++cx) {
      if (cx == x && cy == y) continue;
      const float* candidate = source.Block(cx, cy);
      float d;
      if constexpr (fixed == 8) {
        tQuad low = {0, 0, 0, 0}, high = {0, 0, 0, 0};
        AddLines8(reference, candidate, source.LineStep, 0, 4, low, high);
        if (Combine8(low[0], low[1], low[2], low[3], high[0], high[1], high[2], high[3]) > nearest.Bound) continue;
        AddLines8(reference, candidate, source.LineStep, 4, 8, low, high);
        d = Combine8(low[0], low[1], low[2], low[3], high[0], high[1], high[2], high[3]);
      } else {
        float columns[cBlockTransform::MaxSize] = {};
        AddLines<fixed>(reference, candidate, source.LineStep, 0, n / 2, n, columns);
        if (Combine(columns, n) > nearest.Bound) continue;
        AddLines<fixed>(reference, candidate, source.LineStep, n / 2, n, n, columns);
        d = Combine(columns, n);
      }
      nearest.Offer(d, cx, cy);
    }
  return nearest.Finish(x, y);
}
}  // namespace

float cBlockMatcher::Distance(const float* a, const float* b, ptrdiff_t lineStep, int n)
{
  float columns[cBlockTransform::MaxSize] = {};
  AddLines<0>(a, b, lineStep, 0, n, n, columns);
  return Combine(columns, n);
}

int cBlockMatcher::Find(const sBlockSource& source, int x, int y, std::vector<sMatch>& matches) const
{
  if (N == 8) return FindMatches<8>(source, x, y, Radius, MaxCount, Threshold, N, matches);
  return FindMatches<0>(source, x, y, Radius, MaxCount, Threshold, N, matches);
}

void cBlockMatcher::FindRow(const sBlockSource& plane, int y, const std::vector<int>& xs,
                            std::vector<std::vector<sMatch>>& matches, sRowScratch& scratch) const
{
  KV_ASSERT(plane.ColumnStep == 1 && plane.RowStep == plane.LineStep, "a picture plane");
  const int side = 2 * Radius + 1, width = int(plane.LineStep), refs = int(xs.size());
  const int first = xs.front(), end = xs.back() + N;
  std::vector<float>& table = scratch.Distances;
  std::vector<float>& columns = scratch.Columns;
  table.assign(size_t(refs) * size_t(side) * size_t(side), -1.0f);  // -1: outside the picture
  columns.resize(size_t(end - first));
  const int y0 = std::max(0, y - Radius), y1 = std::min(plane.Positions[1] - 1, y + Radius);
  for (int cy = y0; cy <= y1; ++cy)
    for (int dx = -Radius; dx <= Radius; ++dx) {
      // Column sums of the squared differences between the reference row of blocks and the same
      // row moved by (dx, cy - y), for every column whose partner lies in the picture.
      const int a = std::max(first, -dx), b = std::min(end, width - dx);
      if (a >= b) continue;
      float* __restrict sums = columns.data() + (a - first);
      const int count = b - a;
      for (int k = 0; k < count; ++k) sums[k] = 0.0f;
      for (int line = 0; line < N; ++line) {
        const float* __restrict from = plane.Base + (y + line) * plane.LineStep + a;
        const float* __restrict to = plane.Base + (cy + line) * plane.LineStep + (a + dx);
        for (int k = 0; k < count; ++k) {
          const float d = from[k] - to[k];
          sums[k] += d * d;
        }
      }
      const size_t offset = size_t(cy - y + Radius) * size_t(side) + size_t(dx + Radius);
      for (int i = 0; i < refs; ++i) {
        const int cx = xs[size_t(i)] + dx;
        if (cx < 0 || cx > plane.Positions[0] - 1) continue;
        table[size_t(i) * size_t(side) * size_t(side) + offset] = Combine(columns.data() + (xs[size_t(i)] - first), N);
      }
    }
  matches.resize(size_t(refs));
  for (int i = 0; i < refs; ++i) {
    const int x = xs[size_t(i)];
    const float* distances = table.data() + size_t(i) * size_t(side) * size_t(side);
    cNearest nearest(matches[size_t(i)], MaxCount, Threshold);
    for (int cy = y0; cy <= y1; ++cy)
      for (int dx = -Radius; dx <= Radius; ++dx) {
        const float d = distances[size_t(cy - y + Radius) * size_t(side) + size_t(dx + Radius)];
        if (d >= 0 && !(dx == 0 && cy == y)) nearest.Offer(d, x + dx, cy);
      }
    nearest.Finish(x, y);
  }
}
