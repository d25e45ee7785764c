#pragma once
// Common ground of the per-sample noises: the row form, which visits the samples in the order
// of the per-sample driver (rows, pixels, channels) and makes the same draws, taking the shared
// generator once per row instead of once per draw; rows go one after the other on one thread,
// so a seeded run always draws the same sequence. TransformPixel is the per-sample form.
//
// A sample function has the form bool(uint8_t g, cRandomBatch& rnd, uint8_t& out): it makes
// its draws for source sample g and returns whether out is to be written.
#include <cmath>
#include <cstdint>

#include "kvOperations/acSingleChannelOperation.h"
#include "kvOperations/cRandomBatch.h"

class acNoiseOperation : public acSingleChannelOperation {
public:
  // Rounds half up, as the noises round their normal deviates.
  static double RoundHalfUp(double v) { return std::floor(v + 0.5); }
  // Cuts towards zero and clamps into 0..255 (in floating point, so no value is out of range
  // for the conversion, infinities included). Selects rather than branches, so row loops
  // vectorise.
  static uint8_t TruncToByte(double v)
  {
    const double low = v > 0.0 ? v : 0.0;  // also NaN
    return uint8_t(int(low < 255.0 ? low : 255.0));
  }

  // An impulse decision draws one of ImpulseDraws equal chances (a percent).
  static constexpr unsigned ImpulseDraws = 100;
  static constexpr double ImpulseStep = 0.01;
  // The exponential and Rayleigh noises draw their uniform value in UniformSteps steps.
  static constexpr unsigned UniformSteps = 10000;
  static constexpr double UniformStep = 0.0001;

  // The impulse decision: a draw r of 0..ImpulseDraws-1 hits when r * ImpulseStep < p; as that
  // grows with r, the hit draws are exactly 0..count-1.
  static unsigned HitCountFor(double p)
  {
    unsigned count = 0;
    while (count < ImpulseDraws && double(count) * ImpulseStep < p) ++count;
    return count;
  }

protected:
  sRowForm RowForm() const override { return {true, {}, false, false}; }
  // The value of a real parameter as entered: its stored integer over 10^precision, divided
  // once. (Scaling back by repeated tenths lands one unit in the last place above the decimal
  // for most values, enough to let a density of k % hit k + 1 of the 100 draws.)
  double ParamValue(sParamHandle handle) const;
  // Pixels firstX..endX-1 of row y, sample by sample, under one hold of the generator.
  template <class tSample>
  void SpanBySamples(int y, int firstX, int endX, tSample&& sample);
  template <class tSample>
  void DriveSample(unsigned x, unsigned y, tSample&& sample);
  // n normal deviates (mean, sd) under one hold of the generator, as n calls of RandG draw them:
  // for noises that draw exactly one per sample, so the arithmetic can follow in a loop of
  // its own.
  static void DrawDeviates(double mean, double sd, double* out, size_t n);
  // out[i] = TruncToByte(in[i] + scale[in[i]] * RoundHalfUp(deviates[i])) for the n samples:
  // scale holds a factor for each of the 256 sample values, or is null for factor 1.
  static void AddRoundedDeviates(const uint8_t* in, const double* scale, const double* deviates, uint8_t* out,
                                 size_t n);
};

template <class tSample>
void acNoiseOperation::SpanBySamples(int y, int firstX, int endX, tSample&& sample)
{
  const int channels = SourceSurface->GetChannelsCount();
  const uint8_t* src = SourceSurface->Row(y) + firstX * channels;
  uint8_t* dst = ResultSurface->Row(y) + firstX * channels;
  const int count = (endX - firstX) * channels;
  cRandomBatch rnd;
  for (int i = 0; i < count; ++i) {
    uint8_t out;
    if (sample(src[i], rnd, out)) dst[i] = out;
  }
}

template <class tSample>
void acNoiseOperation::DriveSample(unsigned x, unsigned y, tSample&& sample)
{
  uint8_t out;
  bool write;
  {
    cRandomBatch rnd;
    write = sample(SourceSurface->GetPixel(int(x), int(y)), rnd, out);
  }
  if (write) ResultSurface->SetPixel(int(x), int(y), out);
}
