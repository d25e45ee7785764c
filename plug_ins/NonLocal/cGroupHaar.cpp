#include "cGroupHaar.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("060pkNonLocal\\cGroupHaar");

int cGroupHaar::PowerOfTwoBelow(int n)
{
  int p = 1;
  while (p * 2 <= n) p *= 2;
  return p;
}

// Each level turns the first length vectors into length / 2 sums then length / 2 differences.
void cGroupHaar::Forward(float* data, int count, int lanes)
{
  KV_ASSERT(count >= 1 && (count & (count - 1)) == 0, "count is a power of two");
  const float r = float(std::sqrt(0.5));
  Scratch.resize(size_t(count) * size_t(lanes));
  for (int length = count; length > 1; length /= 2) {
    const int half = length / 2;
    for (int i = 0; i < half; ++i) {
      const float* a = data + size_t(2 * i) * lanes;
      const float* b = a + lanes;
      float* s = Scratch.data() + size_t(i) * lanes;
      float* d = Scratch.data() + size_t(half + i) * lanes;
      for (int j = 0; j < lanes; ++j) {
        s[j] = (a[j] + b[j]) * r;
        d[j] = (a[j] - b[j]) * r;
      }
    }
    std::copy(Scratch.begin(), Scratch.begin() + ptrdiff_t(length) * lanes, data);
  }
}

void cGroupHaar::Inverse(float* data, int count, int lanes)
{
  KV_ASSERT(count >= 1 && (count & (count - 1)) == 0, "count is a power of two");
  const float r = float(std::sqrt(0.5));
  Scratch.resize(size_t(count) * size_t(lanes));
  for (int length = 2; length <= count; length *= 2) {
    const int half = length / 2;
    for (int i = 0; i < half; ++i) {
      const float* s = data + size_t(i) * lanes;
      const float* d = data + size_t(half + i) * lanes;
      float* a = Scratch.data() + size_t(2 * i) * lanes;
      float* b = a + lanes;
      for (int j = 0; j < lanes; ++j) {
        a[j] = (s[j] + d[j]) * r;
        b[j] = (s[j] - d[j]) * r;
      }
    }
    std::copy(Scratch.begin(), Scratch.begin() + ptrdiff_t(length) * lanes, data);
  }
}
