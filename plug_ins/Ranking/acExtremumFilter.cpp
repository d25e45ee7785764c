#include "acExtremumFilter.h"

#include <algorithm>
#include <vector>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define KV_EXTREMES_AVX2 1
#endif

#include "kvRuntime/kvDiagnostics.h"
#include "kvRuntime/kvVectorClones.h"

KV_UNIT("pkRanking\\acExtremumFilter");

acExtremumFilter::acExtremumFilter(const char* name, bool maximum, bool widthAcross)
    : Maximum(maximum), WidthAcross(widthAcross)
{
  Describe(name, "Max-Min Filters", otFilter, fmParamDialog);
  WidthParam = Params->AddInteger("Window width", 1, 27, 3);
  HeightParam = Params->AddInteger("Window height", 1, 27, 3);
  RecursiveParam = Params->AddBoolean("Recursive executing", false);
}

void acExtremumFilter::PreProcessing()
{
  const int width = uint8_t((*Params)[WidthParam].GetInteger());
  const int height = uint8_t((*Params)[HeightParam].GetInteger());
  Recursive = (*Params)[RecursiveParam].GetBoolean();
  Extent = WidthAcross ? sWindowExtent::OfSize(width, height) : sWindowExtent::OfSize(height, width);
}

void acExtremumFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = Recursive ? *ResultSurface : *SourceSurface;
  const int x = int(ux), y = int(uy);
  int m = Maximum ? 0 : 255;
  for (int dx = -Extent.Left; dx <= Extent.Right; ++dx)
    for (int dy = -Extent.Up; dy <= Extent.Down; ++dy) {
      const int v = in.GetPixel(x + dx, y + dy);
      m = Maximum ? std::max(m, v) : std::min(m, v);
    }
  ResultSurface->SetPixel(x, y, uint8_t(m));
}

acSingleChannelOperation::sRowForm acExtremumFilter::RowForm() const
{
  return {true, Extent, true, Recursive};
}

namespace {

// Bytes first..end of the span (negative: left of it) with neighbours `step` apart: columns
// gets the extreme of every window row at each byte, out that of `across` neighbouring
// columns starting `left` steps to the left.
template <bool Max>
inline __attribute__((always_inline)) void Extremes(const uint8_t* const* rows, int rowCount, int first, int end,
                                                    uint8_t* columns, int step, int left, int across, uint8_t* out,
                                                    int n)
{
  auto pick = [](uint8_t a, uint8_t b) { return Max ? std::max(a, b) : std::min(a, b); };
  uint8_t* col = columns - first;
  {
    const uint8_t* top = rows[0];
    for (int p = first; p < end; ++p) col[p] = top[p];
  }
  for (int k = 1; k < rowCount; ++k) {
    const uint8_t* row = rows[k];
    for (int p = first; p < end; ++p) col[p] = pick(col[p], row[p]);
  }
  const uint8_t* from = col - left * step;
  for (int q = 0; q < n; ++q) out[q] = from[q];
  for (int c = 1; c < across; ++c) {
    const uint8_t* shifted = from + c * step;
    for (int q = 0; q < n; ++q) out[q] = pick(out[q], shifted[q]);
  }
}

KV_VECTOR_CLONES void Maxima(const uint8_t* const* rows, int rowCount, int first, int end, uint8_t* columns, int step,
                             int left, int across, uint8_t* out, int n)
{
  Extremes<true>(rows, rowCount, first, end, columns, step, left, across, out, n);
}

KV_VECTOR_CLONES void Minima(const uint8_t* const* rows, int rowCount, int first, int end, uint8_t* columns, int step,
                             int left, int across, uint8_t* out, int n)
{
  Extremes<false>(rows, rowCount, first, end, columns, step, left, across, out, n);
}

// The 3 x 3 window in one pass: each output reads its nine samples straight from the rows,
// with no column buffer written and read back. out is no window row (no recursive run).
template <bool Max>
inline __attribute__((always_inline)) void Extremes3(const uint8_t* const* rows, int step, uint8_t* __restrict out,
                                                     int n)
{
  auto pick = [](uint8_t a, uint8_t b) { return Max ? std::max(a, b) : std::min(a, b); };
  const uint8_t *a = rows[0], *b = rows[1], *c = rows[2];
  for (int q = 0; q < n; ++q) {
    const uint8_t left = pick(pick(a[q - step], b[q - step]), c[q - step]);
    const uint8_t middle = pick(pick(a[q], b[q]), c[q]);
    const uint8_t right = pick(pick(a[q + step], b[q + step]), c[q + step]);
    out[q] = pick(pick(left, middle), right);
  }
}

KV_VECTOR_CLONES void Maxima3(const uint8_t* const* rows, int step, uint8_t* out, int n)
{
  Extremes3<true>(rows, step, out, n);
}

KV_VECTOR_CLONES void Minima3(const uint8_t* const* rows, int step, uint8_t* out, int n)
{
  Extremes3<false>(rows, step, out, n);
}

#ifdef KV_EXTREMES_AVX2
template <bool Max>
__attribute__((target("avx2"))) inline __m256i Pick32(__m256i a, __m256i b)
{
  return Max ? _mm256_max_epu8(a, b) : _mm256_min_epu8(a, b);
}

__attribute__((target("avx2"))) inline __m256i Load32(const uint8_t* p)
{
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// The extreme of the three window rows at 32 bytes from q.
template <bool Max>
__attribute__((target("avx2"))) inline __m256i Column32(const uint8_t* a, const uint8_t* b, const uint8_t* c, int q)
{
  return Pick32<Max>(Pick32<Max>(Load32(a + q), Load32(b + q)), Load32(c + q));
}

// 32 outputs from q of the 3 x 3 window, each column read three times.
template <bool Max, int Step>
__attribute__((target("avx2"))) inline void Direct32(const uint8_t* a, const uint8_t* b, const uint8_t* c, uint8_t* out,
                                                     int q)
{
  const __m256i sides = Pick32<Max>(Column32<Max>(a, b, c, q - Step), Column32<Max>(a, b, c, q + Step));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + q), Pick32<Max>(sides, Column32<Max>(a, b, c, q)));
}

// The 3 x 3 window with neighbours Step bytes apart, 32 outputs at a time: the column extremes
// are taken once and shifted into their left and right neighbours' places, where the plain
// loop takes each column three times. The last chunks read their neighbours directly, the very
// last one overlapping the one before (out is no window row), so a span of 32 outputs or more
// is done whole. Returns how many outputs it wrote: all of them, or none for a shorter span.
// The rows hold Step samples before and after the n outputs, as every window row does.
template <bool Max, int Step>
__attribute__((target("avx2"))) int Extremes3Shifted(const uint8_t* const* rows, uint8_t* out, int n)
{
  const uint8_t *a = rows[0], *b = rows[1], *c = rows[2];
  if (n < 32) return 0;
  int q = 0;
  if (n + Step >= 64) {
    __m256i left = Column32<Max>(a, b, c, -Step);  // the first chunk has nothing before it to shift
    __m256i previous = left, current = Column32<Max>(a, b, c, 0);
    for (; q + 64 <= n + Step; q += 32) {
      const __m256i next = Column32<Max>(a, b, c, q + 32);
      if (q > 0) left = _mm256_alignr_epi8(current, _mm256_permute2x128_si256(previous, current, 0x21), 16 - Step);
      const __m256i right = _mm256_alignr_epi8(_mm256_permute2x128_si256(current, next, 0x21), current, Step);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + q), Pick32<Max>(Pick32<Max>(left, current), right));
      previous = current;
      current = next;
    }
  }
  for (; q + 32 <= n; q += 32) Direct32<Max, Step>(a, b, c, out, q);
  if (q < n) Direct32<Max, Step>(a, b, c, out, n - 32);
  return n;
}
#endif

// The 3 x 3 window: the shifted vector loop where the processor has it, the plain loop for the
// rest of the span.
template <bool Max>
void Window3(const uint8_t* const* rows, int step, uint8_t* out, int n)
{
  int done = 0;
#ifdef KV_EXTREMES_AVX2
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2 && step == 1) done = Extremes3Shifted<Max, 1>(rows, out, n);
  if (avx2 && step == 3) done = Extremes3Shifted<Max, 3>(rows, out, n);
#endif
  const uint8_t* rest[3] = {rows[0] + done, rows[1] + done, rows[2] + done};
  (Max ? Maxima3 : Minima3)(rest, step, out + done, n - done);
}

}  // namespace

void acExtremumFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int channels = in.Channels;
  if (!Recursive && Extent.Width() == 3 && Extent.Height() == 3 && Extent.Left == 1 && Extent.Up == 1) {
    (Maximum ? Window3<true> : Window3<false>)(in.Rows, channels, out, count * channels);
    return;
  }
  const int first = -Extent.Left * channels, end = (count + Extent.Right) * channels;
  // One buffer per thread, kept between rows: rows may run at once on several threads.
  thread_local std::vector<uint8_t> columns;
  if (columns.size() < size_t(end - first)) columns.resize(size_t(end - first));
  (Maximum ? Maxima : Minima)(in.Rows, Extent.Height(), first, end, columns.data(), channels, Extent.Left,
                              Extent.Width(), out, count * channels);
}
