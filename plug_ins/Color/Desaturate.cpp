#include "Desaturate.h"

Desaturate::Desaturate()
{
  Describe("Desaturate", "Color", otBuiltIn, fmNoDialog, /*totalVariation=*/true);
  RGBOnly = true;
}

void Desaturate::OperationStarted()
{
  FirstRow = 0;
  EndRow = unsigned(SourceSurface->GetHeight());
  FirstColumn = 0;
  EndColumn = unsigned(SourceSurface->GetWidth());
  ResultImage->SetSize(SourceSurface->GetWidth(), SourceSurface->GetHeight(), 1);
  ResultSurface = ResultImage->GetSurface();
  ResultSurface->CurrentChannel = 0;
}

void Desaturate::PreProcessing()
{
  OperationStarted();
}

void Desaturate::TransformPixel(unsigned x, unsigned y)
{
  // The run visits every channel of a pixel; its one result sample is written at the first.
  if (SourceSurface->CurrentChannel > 0) return;
  unsigned sum = 0;
  for (int c = 0; c < SourceSurface->GetChannelsCount(); ++c) {
    SourceSurface->CurrentChannel = c;
    sum += SourceSurface->GetPixel(int(x), int(y));
  }
  SourceSurface->CurrentChannel = 0;
  ResultSurface->SetPixel(int(x), int(y), uint8_t(sum / 3));
}

acSingleChannelOperation::sRowForm Desaturate::RowForm() const
{
  return {true, {}, true, false};
}

void Desaturate::TransformSpan(int y, int firstX, int endX)
{
  const uint8_t* in = SourceSurface->Row(y);
  uint8_t* out = ResultSurface->Row(y);
  if (SourceSurface->GetChannelsCount() == 1) {
    for (int x = firstX; x < endX; ++x) out[x] = uint8_t(in[x] / 3u);
    return;
  }
  for (int x = firstX; x < endX; ++x) {
    const uint8_t* p = in + 3 * x;
    out[x] = uint8_t((unsigned(p[0]) + p[1] + p[2]) / 3u);
  }
}
