#pragma once
// The row loop shared by the mirroring transforms.
#include <cstdint>

// Writes count pixels of channels (1 or 3) samples from in to out in reverse pixel order:
// pixel i of in becomes pixel count - 1 - i of out, its channels kept in order. Reads and
// writes nothing outside the count pixels.
void ReversePixels(const uint8_t* in, uint8_t* out, int count, int channels);
