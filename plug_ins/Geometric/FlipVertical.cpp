#include "FlipVertical.h"

FlipVertical::FlipVertical()
{
  Name = "Flip Vertical";
  GroupName = "Geometric";
  OperationType = otBuiltIn;
  TotalVariation = true;
}

void FlipVertical::TransformPixel(unsigned x, unsigned y)
{
  const int h = ResultSurface->GetHeight();
  ResultSurface->SetPixel(int(x), h - 1 - int(y), SourceSurface->GetPixel(int(x), int(y)));
}
