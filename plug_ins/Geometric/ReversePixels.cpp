#include "ReversePixels.h"

#include <cstring>
#include "kvRuntime/kvVectorClones.h"

namespace {
using tBytes = uint8_t __attribute__((vector_size(16)));

tBytes Load(const uint8_t* p)
{
  tBytes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
void Store(uint8_t* p, tBytes v)
{
  std::memcpy(p, &v, sizeof v);
}
}  // namespace

// Sixteen bytes at a time by one byte shuffle (a single instruction where SSSE3 or later is
// there, which the AVX2 clone has).
KV_VECTOR_CLONES void ReversePixels(const uint8_t* in, uint8_t* out, int count, int channels)
{
  int i = 0;
  if (channels == 1) {
    const tBytes reverse = {15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    for (; i + 16 <= count; i += 16) Store(out + count - 16 - i, __builtin_shuffle(Load(in + i), reverse));
    for (; i < count; ++i) out[count - 1 - i] = in[i];
    return;
  }
  // Five pixels (15 bytes) a step: the 16 bytes read start at pixel i, those written end with
  // pixel count - 1 - i and start one byte early, on the last sample of a pixel a later step
  // writes properly (the loop stops while a sixth pixel is left, so that pixel exists).
  const tBytes fivePixels = {0, 12, 13, 14, 9, 10, 11, 6, 7, 8, 3, 4, 5, 0, 1, 2};
  for (; i + 6 <= count; i += 5) Store(out + 3 * (count - 5 - i) - 1, __builtin_shuffle(Load(in + 3 * i), fivePixels));
  for (; i < count; ++i) {
    const uint8_t* p = in + 3 * i;
    uint8_t* q = out + 3 * (count - 1 - i);
    q[0] = p[0];
    q[1] = p[1];
    q[2] = p[2];
  }
}
