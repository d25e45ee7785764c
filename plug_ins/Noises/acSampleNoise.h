#pragma once
// The skeleton of a noise that decides sample by sample: tNoise only provides
//   bool Sample(uint8_t g, cRandomBatch& rnd, uint8_t& out) const;
// which makes the draws for source sample g and says whether out is written; the per-sample
// form and the row form both call it. A noise with a faster row form of its own overrides
// TransformSpan again.
#include "acNoiseOperation.h"

template <class tNoise>
class acSampleNoise : public acNoiseOperation {
public:
  void TransformPixel(unsigned x, unsigned y) override { DriveSample(x, y, SampleFunction()); }

protected:
  void TransformSpan(int y, int firstX, int endX) override { SpanBySamples(y, firstX, endX, SampleFunction()); }

private:
  auto SampleFunction() const
  {
    const tNoise* noise = static_cast<const tNoise*>(this);
    return [noise](uint8_t g, cRandomBatch& rnd, uint8_t& out) { return noise->Sample(g, rnd, out); };
  }
};
