#include "acExtremumFilter.h"

#include <algorithm>
#include <vector>

#include "kvDiagnostics.h"
#include "kvVectorClones.h"

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

KV_VECTOR_CLONES void Maxima(const uint8_t* const* rows, int rowCount, int first,
                                                                int end, uint8_t* columns, int step, int left,
                                                                int across, uint8_t* out, int n)
{
  Extremes<true>(rows, rowCount, first, end, columns, step, left, across, out, n);
}

KV_VECTOR_CLONES void Minima(const uint8_t* const* rows, int rowCount, int first,
                                                                int end, uint8_t* columns, int step, int left,
                                                                int across, uint8_t* out, int n)
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

KV_VECTOR_CLONES void Maxima3(const uint8_t* const* rows, int step, uint8_t* out,
                                                                 int n)
{
  Extremes3<true>(rows, step, out, n);
}

KV_VECTOR_CLONES void Minima3(const uint8_t* const* rows, int step, uint8_t* out,
                                                                 int n)
{
  Extremes3<false>(rows, step, out, n);
}

}  // namespace

void acExtremumFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int channels = in.Channels;
  if (!Recursive && Extent.Width() == 3 && Extent.Height() == 3 && Extent.Left == 1 && Extent.Up == 1) {
    (Maximum ? Maxima3 : Minima3)(in.Rows, channels, out, count * channels);
    return;
  }
  const int first = -Extent.Left * channels, end = (count + Extent.Right) * channels;
  // One buffer per thread, kept between rows: rows may run at once on several threads.
  thread_local std::vector<uint8_t> columns;
  if (columns.size() < size_t(end - first)) columns.resize(size_t(end - first));
  (Maximum ? Maxima : Minima)(in.Rows, Extent.Height(), first, end, columns.data(), channels, Extent.Left,
                              Extent.Width(), out, count * channels);
}
