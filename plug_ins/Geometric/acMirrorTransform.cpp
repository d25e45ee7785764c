#include "acMirrorTransform.h"

#include <cstring>

#include "ReversePixels.h"

acMirrorTransform::acMirrorTransform(const char* name, bool leftToRight, bool topToBottom)
    : acGeometricTransform(name), LeftToRight(leftToRight), TopToBottom(topToBottom)
{}

void acMirrorTransform::TransformPixel(unsigned x, unsigned y)
{
  const int w = ResultSurface->GetWidth();
  const int h = ResultSurface->GetHeight();
  const int toX = LeftToRight ? w - 1 - int(x) : int(x);
  const int toY = TopToBottom ? h - 1 - int(y) : int(y);
  ResultSurface->SetPixel(toX, toY, SourceSurface->GetPixel(int(x), int(y)));
}

void acMirrorTransform::TransformSpan(int y, int firstX, int endX)
{
  const int channels = SourceSurface->GetChannelsCount();
  const int w = ResultSurface->GetWidth();
  const int h = ResultSurface->GetHeight();
  const uint8_t* in = SourceSurface->Row(y) + firstX * channels;
  uint8_t* out = ResultSurface->Row(TopToBottom ? h - 1 - y : y);
  if (LeftToRight)
    ReversePixels(in, out + (w - endX) * channels, endX - firstX, channels);
  else
    std::memcpy(out + firstX * channels, in, size_t(endX - firstX) * size_t(channels));
}
