#include "acExtremumFilter.h"

#include <algorithm>

#include "kvDiagnostics.h"

#define UNIT "pkRanking\\acExtremumFilter"

acExtremumFilter::acExtremumFilter(const char* name, bool maximum) : Maximum(maximum)
{
  Name = name;
  GroupName = "Max-Min Filters";
  OperationType = otFilter;
  FormMode = 1;
  TotalVariation = false;
  KV_ASSERT_TEXT(Params != nullptr, "OperationParams != NULL", UNIT);
  sParameterInfo info;
  info.theParameterType = ptInteger;
  info.MinBound = 1;
  info.MaxBound = 27;
  info.DefaultValue = 3;
  info.ParameterName = "Window width";
  Params->AddNewParam(info);
  info.ParameterName = "Window height";
  Params->AddNewParam(info);
  info.ParameterName = "Recursive executing";
  info.theParameterType = ptBoolean;
  info.MinBound = 0;
  info.MaxBound = 1;
  info.DefaultValue = 0;
  Params->AddNewParam(info);
}

void acExtremumFilter::PreProcessing()
{
  WindowWidth = uint8_t(Params->GetParam(0)->GetInteger());
  WindowHeight = uint8_t(Params->GetParam(1)->GetInteger());
  Recursive = Params->GetParam(2)->GetBoolean();
  LoX = (WindowHeight - 1) / 2;
  HiX = WindowHeight / 2;
  LoY = (WindowWidth - 1) / 2;
  HiY = WindowWidth / 2;
}

void acExtremumFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = Recursive ? *ResultSurface : *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
  int m = Maximum ? 0 : 255;
  if (FastPath && x >= LoX && y >= LoY && x + HiX < in.GetWidth() && y + HiY < in.GetHeight()) {
    const int channels = in.GetChannelsCount();
    const int c = channels == 1 ? 0 : in.CurrentChannel;
    for (int dy = -LoY; dy <= HiY; ++dy) {
      const uint8_t* p = in.Row(y + dy) + (x - LoX) * channels + c;
      for (int dx = -LoX; dx <= HiX; ++dx, p += channels) m = Maximum ? std::max(m, int(*p)) : std::min(m, int(*p));
    }
  } else {
    for (int dx = -LoX; dx <= HiX; ++dx)
      for (int dy = -LoY; dy <= HiY; ++dy) {
        const int v = in.GetPixel(x + dx, y + dy);
        m = Maximum ? std::max(m, v) : std::min(m, v);
      }
  }
  ResultSurface->SetPixel(x, y, uint8_t(m));
}
