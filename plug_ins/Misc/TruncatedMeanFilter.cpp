#include "TruncatedMeanFilter.h"

#include <algorithm>

#include "kvDiagnostics.h"

#define UNIT "pkMisc\\TruncatedMeanFilter"

TruncatedMeanFilter::TruncatedMeanFilter()
{
  Name = "Truncated Mean";
  GroupName = "Misc Filters";
  OperationType = otFilter;
  FormMode = 1;
  TotalVariation = false;
  KV_ASSERT_TEXT(Params != nullptr, "OperationParams != NULL", UNIT);
  sParameterInfo info;
  info.theParameterType = ptInteger;
  info.ParameterName = "Window size";
  info.MinBound = 2;
  info.MaxBound = 27;
  info.DefaultValue = 3;
  Params->AddNewParam(info);
  info.ParameterName = "Size of truncation";
  info.MinBound = 0;
  info.MaxBound = 26;
  info.DefaultValue = 4;
  Params->AddNewParam(info);
  info.ParameterName = "Recursive executing";
  info.theParameterType = ptBoolean;
  info.MinBound = 0;
  info.MaxBound = 1;
  info.DefaultValue = 0;
  Params->AddNewParam(info);
}

void TruncatedMeanFilter::PreProcessing()
{
  WindowSize = Params->GetParam(0)->GetInteger();
  const int n = WindowSize * WindowSize;
  Truncation = Params->GetParam(1)->GetInteger();
  if (Truncation >= n) Truncation = n - 1;
  if (Truncation % 2 != 0) Truncation -= 1;
  Recursive = Params->GetParam(2)->GetBoolean();
  Lo = (WindowSize - 1) / 2;
  Hi = WindowSize / 2;
  Buffer.resize(size_t(n));
}

void TruncatedMeanFilter::PostProcessing()
{
  Buffer.clear();
  Buffer.shrink_to_fit();
}

void TruncatedMeanFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = Recursive ? *ResultSurface : *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
  uint8_t* v = Buffer.data();
  if (FastPath && x >= Lo && y >= Lo && x + Hi < in.GetWidth() && y + Hi < in.GetHeight()) {
    const int channels = in.GetChannelsCount();
    const int c = channels == 1 ? 0 : in.CurrentChannel;
    for (int dx = -Lo; dx <= Hi; ++dx)
      for (int dy = -Lo; dy <= Hi; ++dy) *v++ = in.Row(y + dy)[(x + dx) * channels + c];
  } else {
    for (int dx = -Lo; dx <= Hi; ++dx)
      for (int dy = -Lo; dy <= Hi; ++dy) *v++ = in.GetPixel(x + dx, y + dy);
  }
  const int n = int(Buffer.size());
  const int drop = Truncation / 2;
  // Only the kept middle has to be in place: select its two ends, then sum between them.
  uint8_t* first = Buffer.data() + drop;
  uint8_t* last = Buffer.data() + n - drop;
  if (drop > 0) {
    std::nth_element(Buffer.data(), first, Buffer.data() + n);
    std::nth_element(first, last - 1, Buffer.data() + n);
  }
  unsigned sum = 0;
  for (uint8_t* p = first; p < last; ++p) sum += *p;
  ResultSurface->SetPixel(x, y, uint8_t(sum / unsigned(n - Truncation)));
}
