#include "InvertFilter.h"

InvertFilter::InvertFilter()
{
  Name = "Invert";
  GroupName = "Built-in";
  OperationType = otBuiltIn;
}

void InvertFilter::TransformPixel(unsigned x, unsigned y)
{
  ResultSurface->SetPixel(int(x), int(y), uint8_t(255 - SourceSurface->GetPixel(int(x), int(y))));
}
