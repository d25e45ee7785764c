#include "FoolishSmartMedianFilter.h"

#include <algorithm>

#include "FindMedian.h"
#include "kvDiagnostics.h"

KV_UNIT("999pkMisc\\FoolishSmartMedianFilter");

FoolishSmartMedianFilter::FoolishSmartMedianFilter()
{
  Name = "Foolish detector-Smart filter";
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
  info.MinBound = 3;
  info.DefaultValue = 7;
  info.ParameterName = "Max window size";
  Params->AddNewParam(info);
  info.theParameterType = ptReal;
  info.Precision = 2;
  info.MinBound = 0;
  info.MaxBound = 1;
  info.DefaultValue = 0.5;
  info.ParameterName = "Threshold";
  Params->AddNewParam(info);
  info.theParameterType = ptBoolean;
  info.Precision = 0;
  info.MinBound = 0;
  info.MaxBound = 1;
  info.DefaultValue = 0;
  info.ParameterName = "Recursive executing";
  Params->AddNewParam(info);
}

void FoolishSmartMedianFilter::PreProcessing()
{
  WindowSize = uint8_t(std::clamp(Params->GetParam(0)->GetInteger(), 1, 255));
  MaxWindowSize = uint8_t(std::clamp(Params->GetParam(1)->GetInteger(), 1, 255));
  Threshold = Params->GetParam(2)->GetReal();
  Recursive = Params->GetParam(3)->GetBoolean();
  const unsigned largest = std::max(WindowSize, MaxWindowSize);
  Window.resize(largest * largest);
}

void FoolishSmartMedianFilter::TransformPixel(unsigned x, unsigned y)
{
  const int cx = int(x), cy = int(y);
  const cBMPSurface* from = Recursive ? ResultSurface : SourceSurface;
  const uint8_t g = from->GetPixel(cx, cy);
  if (g != 0 && g != 255) return;
  const int largest = int(MaxWindowSize) * MaxWindowSize;
  int size = WindowSize;
  unsigned n = 0;
  for (;;) {
    const int high = size / 2, low = high - size + 1;
    unsigned impulses = 0;
    n = 0;
    for (int dx = low; dx <= high; ++dx)
      for (int dy = low; dy <= high; ++dy) {
        const uint8_t v = from->GetPixel(cx + dx, cy + dy);
        if (v == 0 || v == 255)
          ++impulses;
        else
          Window[n++] = v;
      }
    if (double(impulses) / double(size * size) < Threshold || size * size >= largest) break;
    ++size;
  }
  if (n > 0)
    ResultSurface->SetPixel(cx, cy, FindMedian(Window.data(), n));
  else  // only impulses around: repeat the value already restored left of the window
    ResultSurface->SetPixel(cx, cy, ResultSurface->GetPixel(cx - size / 2 - 1, cy));
}
