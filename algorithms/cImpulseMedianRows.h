#pragma once
// Medians of the samples that are no impulse (neither 0 nor 255) in 3 x 3 windows along a run
// of bytes, 32 at a time in vector registers: each window's impulses are rewritten as just so
// many 0s and 255s that the middle of all nine is the lower middle of the others, so one
// nine-value network answers for every lane whatever its count of impulses.
#include <cstdint>

class cImpulseMedianRows {
public:
  // For bytes j < n of rows[0..2] (the rows above, at and below; neighbours `channels` bytes
  // apart, which must lie in memory): a sample that is no impulse goes to out[j] as it is; an
  // impulse becomes the lower middle of its window's other samples, or, when all nine are
  // impulses, stays as it is with alone[j] = 1 (alone[j] = 0 everywhere else). With others
  // given, others[j] is the number of the window's samples that are no impulse.
  static void ThreeByThree(const uint8_t* const* rows, int channels, uint8_t* out, uint8_t* alone, int n,
                           uint8_t* others = nullptr);
};
