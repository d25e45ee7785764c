#include "Rotate90CCW.h"

Rotate90CCW::Rotate90CCW() : acQuarterTurn("Rotate 90 CCW") {}

void Rotate90CCW::TransformPixel(unsigned x, unsigned y)
{
  ResultSurface->SetPixel(int(y), SourceWidth - 1 - int(x), SourceSurface->GetPixel(int(x), int(y)));
}

void Rotate90CCW::TransformSpan(int y, int firstX, int endX)
{
  const int channels = SourceSurface->GetChannelsCount();
  const uint8_t* in = SourceSurface->Row(y);
  const int column = y * channels;
  for (int x = firstX; x < endX; ++x)
    for (int c = 0; c < channels; ++c) ResultSurface->Row(SourceWidth - 1 - x)[column + c] = in[x * channels + c];
}
