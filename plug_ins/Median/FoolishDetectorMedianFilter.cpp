#include "FoolishDetectorMedianFilter.h"

#include <algorithm>

#include "FindMedian.h"
#include "kvDiagnostics.h"

KV_UNIT("050pkMedian\\FoolishDetectorMedianFilter");

FoolishDetectorMedianFilter::FoolishDetectorMedianFilter()
{
  Name = "Foolish Detector Median Filter";
  GroupName = "Detector Median Filters";
  OperationType = otFilter;
  FormMode = 1;
  KV_ASSERT(Params != nullptr, "OperationParams != NULL");
  sParameterInfo info;
  info.theParameterType = ptInteger;
  info.Precision = 0;
  info.MinBound = 1;
  info.MaxBound = 27;
  info.DefaultValue = 3;
  info.ParameterName = "Window size";
  Params->AddNewParam(info);
  info.theParameterType = ptBoolean;
  info.MinBound = 0;
  info.MaxBound = 1;
  info.DefaultValue = 0;
  info.ParameterName = "Recursive executing";
  Params->AddNewParam(info);
}

void FoolishDetectorMedianFilter::PreProcessing()
{
  WindowSize = uint8_t(std::clamp(Params->GetParam(0)->GetInteger(), 1, 255));
  Recursive = Params->GetParam(1)->GetBoolean();
  Window.resize(unsigned(WindowSize) * WindowSize);
}

void FoolishDetectorMedianFilter::TransformPixel(unsigned x, unsigned y)
{
  const int cx = int(x), cy = int(y);
  const cBMPSurface* from = Recursive ? ResultSurface : SourceSurface;
  const uint8_t g = from->GetPixel(cx, cy);
  if (g != 0 && g != 255) return;
  const int high = WindowSize / 2, low = high - WindowSize + 1;
  unsigned n = 0;
  for (int dx = low; dx <= high; ++dx)
    for (int dy = low; dy <= high; ++dy) {
      const uint8_t v = from->GetPixel(cx + dx, cy + dy);
      if (v != 0 && v != 255) Window[n++] = v;
    }
  if (n > 0)
    ResultSurface->SetPixel(cx, cy, FindMedian(Window.data(), n));
  else  // only impulses around: repeat the value already restored left of the window
    ResultSurface->SetPixel(cx, cy, ResultSurface->GetPixel(cx - high - 1, cy));
}
