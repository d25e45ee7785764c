#include "SD_ROM2Filter.h"

#include <algorithm>

#include "kvDiagnostics.h"

#define UNIT "pkLateral\\SD_ROM2Filter"

SD_ROM2Filter::SD_ROM2Filter()
{
  Name = "SD-ROM";
  GroupName = "Misc Filters";
  OperationType = otFilter;
  FormMode = 1;
  TotalVariation = false;
  KV_ASSERT_TEXT(Params != nullptr, "OperationParams != NULL", UNIT);
  sParameterInfo info;
  info.theParameterType = ptInteger;
  info.MinBound = 0;
  info.MaxBound = 100;
  const char* names[4] = {"T1", "T2", "T3", "T4"};
  const int defaults[4] = {8, 20, 40, 50};
  for (int i = 0; i < 4; ++i) {
    info.ParameterName = names[i];
    info.DefaultValue = defaults[i];
    Params->AddNewParam(info);
  }
  info.ParameterName = "Recursive executing";
  info.theParameterType = ptBoolean;
  info.MinBound = 0;
  info.MaxBound = 1;
  info.DefaultValue = 0;
  Params->AddNewParam(info);
}

void SD_ROM2Filter::PreProcessing()
{
  for (unsigned i = 0; i < 4; ++i) Threshold[i] = float(Params->GetParam(i)->GetInteger());
  Recursive = Params->GetParam(4)->GetBoolean();
}

uint8_t SD_ROM2Filter::Decide(int* r, int c) const
{
  std::sort(r, r + 8);
  const int rom = (r[3] + r[4]) / 2;
  for (int i = 0; i < 4; ++i) {
    const int d = c <= rom ? r[i] - c : c - r[7 - i];
    if (float(d) > Threshold[i]) return uint8_t(rom);
  }
  return uint8_t(c);
}

void SD_ROM2Filter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = Recursive ? *ResultSurface : *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
  int r[8];
  int n = 0;
  int c;
  if (FastPath && x >= 1 && y >= 1 && x + 1 < in.GetWidth() && y + 1 < in.GetHeight()) {
    const int channels = in.GetChannelsCount();
    const int ch = channels == 1 ? 0 : in.CurrentChannel;
    for (int j = -1; j <= 1; ++j) {
      const uint8_t* row = in.Row(y + j) + (x - 1) * channels + ch;
      for (int i = 0; i < 3; ++i, row += channels)
        if (i != 1 || j != 0) r[n++] = *row;
    }
    c = in.Row(y)[x * channels + ch];
  } else {
    for (int j = -1; j <= 1; ++j)
      for (int i = -1; i <= 1; ++i)
        if (i != 0 || j != 0) r[n++] = in.GetPixel(x + i, y + j);
    c = in.GetPixel(x, y);
  }
  ResultSurface->SetPixel(x, y, Decide(r, c));
}
