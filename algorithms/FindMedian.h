#pragma once
#include <cstdint>
// Median byte of values[0..count-1]; for an even count the lower middle value.
uint8_t FindMedian(const uint8_t* values, unsigned count);
