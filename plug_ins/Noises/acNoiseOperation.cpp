#include "acNoiseOperation.h"

#include <cstring>
#include "kvRuntime/kvVectorClones.h"

namespace {
using tReals = double __attribute__((vector_size(32)));
using tIntegers = int32_t __attribute__((vector_size(16)));

// RoundHalfUp and TruncToByte on four samples at once, as selects the compiler keeps in
// vector registers. Beyond +-(2^31 - 1) the rounded value is held there: added to a sample
// and scaled by at least 0.01 it still clamps to the same byte.
tIntegers RoundAddAndClamp(tReals g, tReals scale, tReals deviate)
{
  constexpr double limit = 2147483647.0;
  const tReals zero = {0, 0, 0, 0}, top = {255, 255, 255, 255}, one = {1, 1, 1, 1};
  const tReals low = {-limit, -limit, -limit, -limit}, high = {limit, limit, limit, limit};
  tReals h = deviate + 0.5;
  h = h > low ? h : low;
  h = h < high ? h : high;
  const tReals t = __builtin_convertvector(__builtin_convertvector(h, tIntegers), tReals);
  const tReals rounded = t > h ? t - one : t;
  const tReals v = g + scale * rounded;
  const tReals positive = v > zero ? v : zero;
  return __builtin_convertvector(positive < top ? positive : top, tIntegers);
}
}  // namespace

double acNoiseOperation::ParamValue(sParamHandle handle) const
{
  const cOperationParameter& param = (*Params)[handle];
  double scale = 1.0;
  for (unsigned i = 0; i < param.GetPrecision(); ++i) scale *= 10.0;
  return double(param.GetRawValue()) / scale;
}

void acNoiseOperation::DrawDeviates(double mean, double sd, double* out, size_t n)
{
  cRandomBatch rnd;
  rnd.RandG(mean, sd, out, n);
}

KV_VECTOR_CLONES void acNoiseOperation::AddRoundedDeviates(const uint8_t* in, const double* scale,
                                                           const double* deviates, uint8_t* out, size_t n)
{
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const tReals g = {double(in[i]), double(in[i + 1]), double(in[i + 2]), double(in[i + 3])};
    tReals f = {1, 1, 1, 1}, d;
    if (scale) f = tReals{scale[in[i]], scale[in[i + 1]], scale[in[i + 2]], scale[in[i + 3]]};
    std::memcpy(&d, deviates + i, sizeof d);
    const tIntegers r = RoundAddAndClamp(g, f, d);
    for (int k = 0; k < 4; ++k) out[i + size_t(k)] = uint8_t(r[k]);
  }
  for (; i < n; ++i) out[i] = TruncToByte(double(in[i]) + (scale ? scale[in[i]] : 1.0) * RoundHalfUp(deviates[i]));
}
