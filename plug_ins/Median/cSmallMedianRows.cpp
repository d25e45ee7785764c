#include "cSmallMedianRows.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>
#include "kvByteVectors.h"
#include "kvRuntime/kvVectorClones.h"

namespace {

using namespace kvByteVectors;

template <class T>
KV_INLINE T Load(const uint8_t* p)
{
  T v;
  std::memcpy(&v, p, sizeof(T));
  return v;
}

template <class T>
KV_INLINE void Store(uint8_t* p, T v)
{
  std::memcpy(p, &v, sizeof(T));
}

// Comparators on wires a < b: B leaves the minimum on a and the maximum on b, L only the
// minimum on a, H only the maximum on b (the other output is not needed further on).
enum eKind : uint8_t { B, L, H };
struct sStep {
  uint8_t A, Bw;
  eKind Kind;
};

// Median of 25 wires, wire 5 * column + row, each column sorted ascending: a Batcher sort of
// 25 with the comparators that never exchange on sorted columns dropped, and then what does
// not feed the middle wire (12). Checked against plain sorting in the tests.
constexpr sStep Median25[] = {
    {4, 5, B},   {14, 15, B}, {5, 7, B},   {8, 10, B},  {9, 11, B},  {12, 14, B}, {5, 6, B},   {9, 10, B},  {13, 14, B},
    {0, 4, B},   {1, 5, B},   {2, 6, B},   {8, 12, B},  {10, 14, B}, {11, 15, B}, {16, 20, B}, {17, 21, B}, {18, 22, B},
    {19, 23, B}, {2, 4, B},   {3, 5, B},   {10, 12, B}, {11, 13, B}, {18, 20, B}, {19, 21, B}, {1, 2, B},   {3, 4, B},
    {5, 6, B},   {9, 10, B},  {11, 12, B}, {13, 14, B}, {17, 18, B}, {19, 20, B}, {21, 22, B}, {0, 8, B},   {1, 9, B},
    {2, 10, B},  {3, 11, B},  {4, 12, B},  {5, 13, B},  {6, 14, B},  {7, 15, L},  {4, 8, B},   {5, 9, B},   {6, 10, B},
    {7, 11, B},  {20, 24, B}, {2, 4, B},   {3, 5, B},   {6, 8, B},   {7, 9, B},   {10, 12, B}, {11, 13, B}, {22, 24, B},
    {1, 2, B},   {3, 4, B},   {5, 6, B},   {7, 8, B},   {9, 10, B},  {11, 12, B}, {13, 14, L}, {21, 22, B}, {23, 24, B},
    {0, 16, H},  {1, 17, H},  {2, 18, H},  {3, 19, H},  {4, 20, H},  {5, 21, H},  {6, 22, L},  {7, 23, L},  {8, 24, L},
    {8, 16, H},  {9, 17, H},  {10, 18, L}, {11, 19, L}, {12, 20, L}, {13, 21, L}, {6, 10, H},  {7, 11, H},  {12, 16, L},
    {13, 17, L}, {10, 12, H}, {11, 13, L}, {11, 12, H}};

template <class T, size_t I>
KV_INLINE void Step(T* v)
{
  constexpr sStep s = Median25[I];
  if constexpr (s.Kind == B)
    Order(v[s.A], v[s.Bw]);
  else if constexpr (s.Kind == L)
    v[s.A] = Min(v[s.A], v[s.Bw]);
  else
    v[s.Bw] = Max(v[s.A], v[s.Bw]);
}

template <class T, size_t... I>
KV_INLINE void RunMedian25(T* v, std::index_sequence<I...>)
{
  (Step<T, I>(v), ...);
}

// Sorts the column of `size` samples at byte p of the window rows into sorted[r][p].
template <class T, int Size>
KV_INLINE void SortColumn(const uint8_t* const* rows, int p, uint8_t* const* sorted)
{
  T v[Size];
  for (int r = 0; r < Size; ++r) v[r] = Load<T>(rows[r] + p);
  static_assert(Size == 5, "3 x 3 windows sort their columns where they use them");
  // The 9-comparator sort of five.
  Order(v[0], v[1]);
  Order(v[3], v[4]);
  Order(v[2], v[4]);
  Order(v[2], v[3]);
  Order(v[0], v[3]);
  Order(v[0], v[2]);
  Order(v[1], v[4]);
  Order(v[1], v[3]);
  Order(v[1], v[2]);
  for (int r = 0; r < Size; ++r) Store(sorted[r] + p, v[r]);
}

template <class T>
KV_INLINE T Median3(T a, T b, T c)
{
  return Max(Min(a, b), Min(Max(a, b), c));
}

// The median at byte q from sorted columns q, q + step, ... (the buffers start at the
// window's left edge).
template <class T, int Size>
KV_INLINE void MedianAt(uint8_t* const* sorted, int step, int q, uint8_t* out)
{
  T v[25];
  for (int c = 0; c < 5; ++c)
    for (int r = 0; r < 5; ++r) v[5 * c + r] = Load<T>(sorted[r] + q + c * step);
  RunMedian25(v, std::make_index_sequence<std::size(Median25)>());
  Store(out + q, v[12]);
}

template <int Size>
KV_INLINE void MedianRow(const uint8_t* const* rows, int channels, uint8_t* out, int count)
{
  constexpr int half = Size / 2;
  const int n = count * channels;
  // Sorted columns from the window's left edge of the first output to the right edge of the last.
  const int columns = n + 2 * half * channels;
  // One buffer per thread, kept between rows: neither a member (rows run at once on several
  // threads) nor allocated and cleared for every row.
  thread_local std::vector<uint8_t> buffer;
  const size_t needed = static_cast<size_t>(Size) * static_cast<size_t>(columns);
  if (buffer.size() < needed) buffer.resize(needed);
  uint8_t* sorted[Size];
  const uint8_t* from[Size];
  for (int r = 0; r < Size; ++r) {
    sorted[r] = buffer.data() + size_t(r) * size_t(columns);
    from[r] = rows[r] - half * channels;
  }
  // Whole vectors, then one last vector overlapping the previous one up to the end; byte by
  // byte when there is not one vector's worth.
  if (columns < Lanes) {
    for (int p = 0; p < columns; ++p) SortColumn<uint8_t, Size>(from, p, sorted);
  } else {
    for (int p = 0; p + Lanes <= columns; p += Lanes) SortColumn<tVector, Size>(from, p, sorted);
    if (columns % Lanes) SortColumn<tVector, Size>(from, columns - Lanes, sorted);
  }
  if (n < Lanes) {
    for (int q = 0; q < n; ++q) MedianAt<uint8_t, Size>(sorted, channels, q, out);
  } else {
    for (int q = 0; q + Lanes <= n; q += Lanes) MedianAt<tVector, Size>(sorted, channels, q, out);
    if (n % Lanes) MedianAt<tVector, Size>(sorted, channels, n - Lanes, out);
  }
}

// The 3 x 3 window in one pass: each output's three columns loaded and sorted where they are
// used. Sorting each column three times costs less than writing the sorted columns out and
// reading them back.
template <class T>
KV_INLINE void Median3x3At(const uint8_t* const* rows, int step, int q, uint8_t* out)
{
  T lo[3], mid[3], hi[3];
  for (int c = 0; c < 3; ++c) {
    T a = Load<T>(rows[0] + q + (c - 1) * step), b = Load<T>(rows[1] + q + (c - 1) * step),
      d = Load<T>(rows[2] + q + (c - 1) * step);
    Order(a, b);
    Order(b, d);
    Order(a, b);
    lo[c] = a;
    mid[c] = b;
    hi[c] = d;
  }
  // Largest of the lows, median of the middles, smallest of the highs.
  const T low = Max(Max(lo[0], lo[1]), lo[2]);
  const T high = Min(Min(hi[0], hi[1]), hi[2]);
  Store(out + q, Median3(low, Median3(mid[0], mid[1], mid[2]), high));
}

KV_INLINE void MedianRow3Fused(const uint8_t* const* rows, int channels, uint8_t* out, int count)
{
  const int n = count * channels;
  if (n < Lanes) {
    for (int q = 0; q < n; ++q) Median3x3At<uint8_t>(rows, channels, q, out);
    return;
  }
  for (int q = 0; q + Lanes <= n; q += Lanes) Median3x3At<tVector>(rows, channels, q, out);
  if (n % Lanes) Median3x3At<tVector>(rows, channels, n - Lanes, out);
}

KV_VECTOR_CLONES void MedianRow3(const uint8_t* const* rows, int channels, uint8_t* out, int count)
{
  MedianRow3Fused(rows, channels, out, count);
}

KV_VECTOR_CLONES void MedianRow5(const uint8_t* const* rows, int channels, uint8_t* out, int count)
{
  MedianRow<5>(rows, channels, out, count);
}

}  // namespace

void cSmallMedianRows::Row(const uint8_t* const* rows, int size, int channels, uint8_t* out, int count)
{
  if (size == 3)
    MedianRow3(rows, channels, out, count);
  else
    MedianRow5(rows, channels, out, count);
}
