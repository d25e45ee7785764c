#include "acMeanFilter.h"

#include "kvDiagnostics.h"

#define UNIT "pkMeaning\\acMeanFilter"

acMeanFilter::acMeanFilter(const char* name, bool swapped) : Swapped(swapped)
{
  Name = name;
  GroupName = "Meaning Filters";
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
}

void acMeanFilter::AddRecursiveParam()
{
  sParameterInfo info;
  info.ParameterName = "Recursive executing";
  info.theParameterType = ptBoolean;
  info.MinBound = 0;
  info.MaxBound = 1;
  info.DefaultValue = 0;
  RecursiveIndex = unsigned(Params->GetParamsCount());
  Params->AddNewParam(info);
}

void acMeanFilter::PreProcessing()
{
  WindowWidth = uint8_t(Params->GetParam(0)->GetInteger());
  WindowHeight = uint8_t(Params->GetParam(1)->GetInteger());
  Recursive = Params->GetParam(RecursiveIndex)->GetBoolean();
  const int horizontal = Swapped ? WindowHeight : WindowWidth;
  const int vertical = Swapped ? WindowWidth : WindowHeight;
  LoX = (horizontal - 1) / 2;
  HiX = horizontal / 2;
  LoY = (vertical - 1) / 2;
  HiY = vertical / 2;
  Window.resize(size_t(horizontal) * size_t(vertical));
}

void acMeanFilter::PostProcessing()
{
  Window.clear();
}

void acMeanFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = Recursive ? *ResultSurface : *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
  uint8_t* v = Window.data();
  if (FastPath && x >= LoX && y >= LoY && x + HiX < in.GetWidth() && y + HiY < in.GetHeight()) {
    const int channels = in.GetChannelsCount();
    const int c = channels == 1 ? 0 : in.CurrentChannel;
    for (int dx = -LoX; dx <= HiX; ++dx)
      for (int dy = -LoY; dy <= HiY; ++dy) *v++ = in.Row(y + dy)[(x + dx) * channels + c];
  } else {
    for (int dx = -LoX; dx <= HiX; ++dx)
      for (int dy = -LoY; dy <= HiY; ++dy) *v++ = in.GetPixel(x + dx, y + dy);
  }
  ResultSurface->SetPixel(x, y, Mean(Window.data(), unsigned(Window.size())));
}
