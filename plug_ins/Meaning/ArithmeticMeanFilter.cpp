#include "ArithmeticMeanFilter.h"

#include <cmath>
#include <vector>
#include "kvRuntime/kvVectorClones.h"

namespace {

// Sums of the window rows down each column, j from first to end - 1 (three rows a pass).
KV_VECTOR_CLONES void ColumnSums(const uint8_t* const* rows, int height, int first, int end, uint16_t* column)
{
  int k = 0;
  for (int j = first; j < end; ++j) column[j] = 0;
  for (; k + 3 <= height; k += 3) {
    const uint8_t *a = rows[k], *b = rows[k + 1], *c = rows[k + 2];
    for (int j = first; j < end; ++j) column[j] = uint16_t(column[j] + a[j] + b[j] + c[j]);
  }
  for (; k < height; ++k) {
    const uint8_t* row = rows[k];
    for (int j = first; j < end; ++j) column[j] = uint16_t(column[j] + row[j]);
  }
}

// Window sums fit 16 bits; ceil by the multiply-high of 16-bit lanes.
KV_VECTOR_CLONES void NarrowMeans(const uint16_t* column, int left, int width, int channels, int samples, uint16_t bias,
                                  uint16_t multiplier, int shift, uint8_t* out)
{
  if (width == 3) {
    const uint16_t *a = column - channels, *b = column, *c = column + channels;
    for (int j = 0; j < samples; ++j)
      out[j] = uint8_t(((uint32_t(uint16_t(a[j] + b[j] + c[j] + bias)) * multiplier) >> 16) >> shift);
    return;
  }
  std::vector<uint16_t> sums(size_t(samples), bias);
  uint16_t* s = sums.data();
  for (int dx = -left; dx < width - left; ++dx) {
    const uint16_t* from = column + dx * channels;
    for (int j = 0; j < samples; ++j) s[j] = uint16_t(s[j] + from[j]);
  }
  for (int j = 0; j < samples; ++j) out[j] = uint8_t(((uint32_t(s[j]) * multiplier) >> 16) >> shift);
}

}  // namespace

ArithmeticMeanFilter::ArithmeticMeanFilter() : acMeanFilter("Arithmetic Mean", false)
{
  AddRecursiveParam();
}

void ArithmeticMeanFilter::PreProcessing()
{
  acMeanFilter::PreProcessing();
  const uint64_t n = WindowCount();
  const uint64_t largest = n * 255 + n - 1;
  // A 16-bit multiplier and shift that divide every biased sum exactly, checked on all of them.
  Narrow = false;
  if (largest < 65536)
    for (int shift = 0; shift < 16 && !Narrow; ++shift) {
      const uint64_t m = ((uint64_t(1) << (16 + shift)) + n - 1) / n;
      if (m >= 65536) break;
      bool exact = true;
      for (uint64_t s = 0; s <= largest && exact; ++s) exact = ((s * m) >> (16 + shift)) == s / n;
      if (exact) {
        Narrow = true;
        Multiplier = m;
        Shift = shift;
      }
    }
  if (!Narrow) {
    // ceil(2^(24 + l) / n) with 2^l >= n divides every value below 2^24 exactly.
    int l = 0;
    while ((uint64_t(1) << l) < n) ++l;
    Shift = 24 + l;
    Multiplier = ((uint64_t(1) << Shift) + n - 1) / n;
  }
}

uint8_t ArithmeticMeanFilter::Mean(const uint8_t* values, unsigned count) const
{
  unsigned sum = 0;
  for (unsigned i = 0; i < count; ++i) sum += values[i];
  return uint8_t(std::ceil(double(sum) / double(count)));
}

// ceil(double(s) / double(n)) is the integer ceiling: when s / n is not whole it lies at least
// 1 / n from the next integer, far more than the division's rounding, so the double quotient
// never rounds onto an integer.
void ArithmeticMeanFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int channels = in.Channels;
  const int first = -Extent.Left * channels;
  const int end = (count + Extent.Right) * channels;
  std::vector<uint16_t> columns(size_t(end - first));
  uint16_t* column = columns.data() - first;
  ColumnSums(in.Rows, Extent.Height(), first, end, column);
  const int samples = count * channels;
  const unsigned n = WindowCount();
  if (Narrow) {
    NarrowMeans(column, Extent.Left, Extent.Width(), channels, samples, uint16_t(n - 1), uint16_t(Multiplier), Shift,
                out);
    return;
  }
  for (int j = 0; j < samples; ++j) {
    uint64_t s = n - 1;
    for (int dx = -Extent.Left; dx <= Extent.Right; ++dx) s += column[j + dx * channels];
    out[j] = uint8_t((s * Multiplier) >> Shift);
  }
}
