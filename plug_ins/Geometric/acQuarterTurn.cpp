#include "acQuarterTurn.h"

acQuarterTurn::acQuarterTurn(const char* name, bool clockwise) : acGeometricTransform(name), Clockwise(clockwise) {}

void acQuarterTurn::PreProcessing()
{
  SourceWidth = SourceSurface->GetWidth();
  SourceHeight = SourceSurface->GetHeight();
  ResultSurface->SetSize(SourceHeight, SourceWidth, SourceSurface->GetChannelsCount());
}

void acQuarterTurn::TransformPixel(unsigned x, unsigned y)
{
  const uint8_t v = SourceSurface->GetPixel(int(x), int(y));
  if (Clockwise)
    ResultSurface->SetPixel(SourceHeight - 1 - int(y), int(x), v);
  else
    ResultSurface->SetPixel(int(y), SourceWidth - 1 - int(x), v);
}

void acQuarterTurn::TransformSpan(int y, int firstX, int endX)
{
  const int channels = SourceSurface->GetChannelsCount();
  const uint8_t* in = SourceSurface->Row(y);
  const int column = (Clockwise ? SourceHeight - 1 - y : y) * channels;
  for (int x = firstX; x < endX; ++x) {
    uint8_t* out = ResultSurface->Row(Clockwise ? x : SourceWidth - 1 - x) + column;
    for (int c = 0; c < channels; ++c) out[c] = in[x * channels + c];
  }
}
