#pragma once
#include <cstdint>

// Median byte of values[0..count-1]; the values are left untouched.
// For an even count the lower of the two middle values is returned (rank (count-1)/2 of the
// ascending order), so the result is always one of the inputs. A count of 0 returns 0.
// Works without heap allocation for every count.
uint8_t FindMedian(const uint8_t* values, unsigned count);
