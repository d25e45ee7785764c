#include "Rotate180.h"

#include "ReversePixels.h"

Rotate180::Rotate180()
{
  Name = "Rotate 180";
  GroupName = "Geometric";
  OperationType = otBuiltIn;
  TotalVariation = true;
}

void Rotate180::TransformPixel(unsigned x, unsigned y)
{
  const int w = ResultSurface->GetWidth();
  const int h = ResultSurface->GetHeight();
  ResultSurface->SetPixel(w - 1 - int(x), h - 1 - int(y), SourceSurface->GetPixel(int(x), int(y)));
}

acSingleChannelOperation::sRowForm Rotate180::RowForm() const
{
  return {true, {}, true, false};
}

void Rotate180::TransformSpan(int y, int firstX, int endX)
{
  const int channels = SourceSurface->GetChannelsCount();
  const int w = ResultSurface->GetWidth();
  const int h = ResultSurface->GetHeight();
  ReversePixels(SourceSurface->Row(y) + firstX * channels, ResultSurface->Row(h - 1 - y) + (w - endX) * channels,
                endX - firstX, channels);
}
