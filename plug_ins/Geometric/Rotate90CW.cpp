#include "Rotate90CW.h"

Rotate90CW::Rotate90CW()
{
  Name = "Rotate 90 CW";
  GroupName = "Geometric";
  OperationType = otBuiltIn;
  TotalVariation = true;
}

void Rotate90CW::PreProcessing()
{
  SourceWidth = SourceSurface->GetWidth();
  SourceHeight = SourceSurface->GetHeight();
  ResultSurface->SetSize(SourceHeight, SourceWidth, SourceSurface->GetChannelsCount());
}

void Rotate90CW::TransformPixel(unsigned x, unsigned y)
{
  ResultSurface->SetPixel(SourceHeight - 1 - int(y), int(x), SourceSurface->GetPixel(int(x), int(y)));
}
