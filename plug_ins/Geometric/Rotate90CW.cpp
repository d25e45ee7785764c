#include "Rotate90CW.h"

Rotate90CW::Rotate90CW() : acQuarterTurn("Rotate 90 CW") {}

void Rotate90CW::TransformPixel(unsigned x, unsigned y)
{
  ResultSurface->SetPixel(SourceHeight - 1 - int(y), int(x), SourceSurface->GetPixel(int(x), int(y)));
}

void Rotate90CW::TransformSpan(int y, int firstX, int endX)
{
  const int channels = SourceSurface->GetChannelsCount();
  const uint8_t* in = SourceSurface->Row(y);
  const int column = (SourceHeight - 1 - y) * channels;
  for (int x = firstX; x < endX; ++x)
    for (int c = 0; c < channels; ++c) ResultSurface->Row(x)[column + c] = in[x * channels + c];
}
