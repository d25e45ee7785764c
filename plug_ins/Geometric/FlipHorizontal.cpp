#include "FlipHorizontal.h"

#include "ReversePixels.h"

FlipHorizontal::FlipHorizontal() : acGeometricTransform("Flip Horizontal") {}

void FlipHorizontal::TransformPixel(unsigned x, unsigned y)
{
  const int w = ResultSurface->GetWidth();
  ResultSurface->SetPixel(w - 1 - int(x), int(y), SourceSurface->GetPixel(int(x), int(y)));
}

void FlipHorizontal::TransformSpan(int y, int firstX, int endX)
{
  const int channels = SourceSurface->GetChannelsCount();
  const int w = ResultSurface->GetWidth();
  ReversePixels(SourceSurface->Row(y) + firstX * channels, ResultSurface->Row(y) + (w - endX) * channels, endX - firstX,
                channels);
}
