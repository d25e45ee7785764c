#include "FlipHorizontal.h"

FlipHorizontal::FlipHorizontal()
{
  Name = "Flip Horizontal";
  GroupName = "Geometric";
  OperationType = otBuiltIn;
  TotalVariation = true;
}

void FlipHorizontal::TransformPixel(unsigned x, unsigned y)
{
  const int w = ResultSurface->GetWidth();
  ResultSurface->SetPixel(w - 1 - int(x), int(y), SourceSurface->GetPixel(int(x), int(y)));
}
