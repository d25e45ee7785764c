#include "Rotate180.h"

#include "ReversePixels.h"

Rotate180::Rotate180() : acGeometricTransform("Rotate 180") {}

void Rotate180::TransformPixel(unsigned x, unsigned y)
{
  const int w = ResultSurface->GetWidth();
  const int h = ResultSurface->GetHeight();
  ResultSurface->SetPixel(w - 1 - int(x), h - 1 - int(y), SourceSurface->GetPixel(int(x), int(y)));
}

void Rotate180::TransformSpan(int y, int firstX, int endX)
{
  const int channels = SourceSurface->GetChannelsCount();
  const int w = ResultSurface->GetWidth();
  const int h = ResultSurface->GetHeight();
  ReversePixels(SourceSurface->Row(y) + firstX * channels, ResultSurface->Row(h - 1 - y) + (w - endX) * channels,
                endX - firstX, channels);
}
