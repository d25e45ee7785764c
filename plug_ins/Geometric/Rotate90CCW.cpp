#include "Rotate90CCW.h"

Rotate90CCW::Rotate90CCW()
{
  Name = "Rotate 90 CCW";
  GroupName = "Geometric";
  OperationType = otBuiltIn;
  TotalVariation = true;
}

void Rotate90CCW::PreProcessing()
{
  SourceWidth = SourceSurface->GetWidth();
  SourceHeight = SourceSurface->GetHeight();
  ResultSurface->SetSize(SourceHeight, SourceWidth, SourceSurface->GetChannelsCount());
}

void Rotate90CCW::TransformPixel(unsigned x, unsigned y)
{
  ResultSurface->SetPixel(int(y), SourceWidth - 1 - int(x), SourceSurface->GetPixel(int(x), int(y)));
}
