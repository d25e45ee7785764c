#pragma once
// The adaptive median's first, 3 x 3 step along a run of bytes, 32 samples at a time in
// vector registers. The filter's middle selection depends on the order of the values it is
// given, so the vectors replay that very selection, step for step, on each sample's window in
// the filter's collecting order; it is not replaced by an exact median.
#include <cstdint>

class cAdaptiveMedianRows {
public:
  // middles[j] = AdaptiveMedianFilter::SelectMiddle of values[0][j] .. values[8][j], for j < n.
  static void MiddlesOfNine(const uint8_t* const* values, uint8_t* middles, int n);
  // The 3 x 3 step for bytes j < n of rows[0..2] (the rows above, at and below the samples;
  // neighbours `channels` bytes apart, which must lie in memory): where the window's middle
  // lies strictly between its extremes, out[j] is the sample when it is no extreme itself,
  // else the middle, and settled[j] = 1; elsewhere out[j] is the sample and settled[j] = 0.
  static void ThreeByThree(const uint8_t* const* rows, int channels, uint8_t* out, uint8_t* settled, int n);
};
