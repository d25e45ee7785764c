#include "Rotate180.h"

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
