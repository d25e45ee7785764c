#include "FlipVertical.h"

#include <cstring>

FlipVertical::FlipVertical() : acGeometricTransform("Flip Vertical") {}

void FlipVertical::TransformPixel(unsigned x, unsigned y)
{
  const int h = ResultSurface->GetHeight();
  ResultSurface->SetPixel(int(x), h - 1 - int(y), SourceSurface->GetPixel(int(x), int(y)));
}

void FlipVertical::TransformSpan(int y, int firstX, int endX)
{
  const int channels = SourceSurface->GetChannelsCount();
  const int h = ResultSurface->GetHeight();
  std::memcpy(ResultSurface->Row(h - 1 - y) + firstX * channels, SourceSurface->Row(y) + firstX * channels,
              size_t(endX - firstX) * size_t(channels));
}
