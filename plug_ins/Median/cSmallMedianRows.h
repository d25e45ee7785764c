#pragma once
// Medians of 3 x 3 and 5 x 5 windows along a run of bytes, many at once in vector registers.
// A 5 x 5 window's columns are sorted once each and serve every window that contains them; a
// 3 x 3 window sorts its three short columns where it uses them. A comparator network made
// for sorted columns then selects the median. Interleaved colour is the same
// work on a row of width x channels bytes with neighbours `channels` bytes apart.
#include <cstdint>

class cSmallMedianRows {
public:
  // Whether a window of width x height samples is handled here.
  static bool Handles(int width, int height) { return width == height && (width == 3 || width == 5); }
  // out[j] for j < count * channels is the median of the size x size window whose rows are
  // rows[0..size-1] and whose columns are j - half * channels .. j + half * channels in steps
  // of channels (half = size / 2); those columns must lie in memory.
  static void Row(const uint8_t* const* rows, int size, int channels, uint8_t* out, int count);
};
