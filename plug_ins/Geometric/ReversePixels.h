#pragma once
// The row loop shared by the mirroring transforms.
#include <cstdint>

// Writes count pixels of channels samples from in to out in reverse pixel order: pixel i of
// in becomes pixel count - 1 - i of out, its channels kept in order.
inline void ReversePixels(const uint8_t* in, uint8_t* out, int count, int channels)
{
  if (channels == 1) {
    for (int i = 0; i < count; ++i) out[count - 1 - i] = in[i];
    return;
  }
  for (int i = 0; i < count; ++i) {
    const uint8_t* p = in + 3 * i;
    uint8_t* q = out + 3 * (count - 1 - i);
    q[0] = p[0];
    q[1] = p[1];
    q[2] = p[2];
  }
}
