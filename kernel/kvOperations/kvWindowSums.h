#pragma once
// Exact window sums for row forms: the sum and the sum of squares of every pixel's window,
// channel by channel, over a span of window rows as the row engine hands them out. Column
// sums down the window rows first, then a running sum along each channel.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "kvPixels/kvBorderRule.h"

// Ends the program with kvWindowSums' failed precondition.
[[noreturn]] void kvWindowTooLargeForSums();

// rows: window rows 0 .. window.Height() - 1 of the span's first pixel; sample c of pixel i at
// column offset dx lies at rows[k][(i + dx) * channels + c]. Writes count * channels sums
// (pixel i, channel c at i * channels + c). Windows of up to 33025 samples (181 x 181) keep
// every sum within 32 bits, so the sums stay narrow enough to vectorise what follows.
inline void kvWindowSums(const uint8_t* const* rows, int channels, int count, const sWindowExtent& window,
                         std::vector<int32_t>& sums, std::vector<int32_t>& squares)
{
  // Larger windows could overflow the sums: a programming error of the caller.
  if (int64_t(window.Width()) * window.Height() > 33025) kvWindowTooLargeForSums();
  const size_t n = size_t(count) * size_t(channels);
  sums.resize(n);
  squares.resize(n);
  if (count <= 0) return;
  const int columns = count + window.Left + window.Right;
  const size_t m = size_t(columns) * size_t(channels);
  std::vector<int32_t> column(m, 0), columnSquares(m, 0);
  for (int k = 0; k < window.Height(); ++k) {
    const uint8_t* row = rows[k] - window.Left * channels;
    for (size_t j = 0; j < m; ++j) {
      const int32_t v = row[j];
      column[j] += v;
      columnSquares[j] += v * v;
    }
  }
  const int width = window.Width();
  for (int c = 0; c < channels; ++c) {
    int32_t sum = 0;
    int32_t square = 0;
    for (int d = 0; d < width; ++d) {
      sum += column[size_t(d * channels + c)];
      square += columnSquares[size_t(d * channels + c)];
    }
    for (int i = 0;; ++i) {
      const size_t at = size_t(i * channels + c);
      sums[at] = sum;
      squares[at] = square;
      if (i + 1 == count) break;
      const size_t enter = size_t((i + width) * channels + c);
      sum += column[enter] - column[at];
      square += columnSquares[enter] - columnSquares[at];
    }
  }
}
