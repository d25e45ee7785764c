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
  ThresholdParams[0] = Params->AddInteger("T1", 0, 100, 8);
  ThresholdParams[1] = Params->AddInteger("T2", 0, 100, 20);
  ThresholdParams[2] = Params->AddInteger("T3", 0, 100, 40);
  ThresholdParams[3] = Params->AddInteger("T4", 0, 100, 50);
  RecursiveParam = Params->AddBoolean("Recursive executing", false);
}

void SD_ROM2Filter::PreProcessing()
{
  for (unsigned i = 0; i < 4; ++i) Threshold[i] = float((*Params)[ThresholdParams[i]].GetInteger());
  Recursive = (*Params)[RecursiveParam].GetBoolean();
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
  for (int j = -1; j <= 1; ++j)
    for (int i = -1; i <= 1; ++i)
      if (i != 0 || j != 0) r[n++] = in.GetPixel(x + i, y + j);
  ResultSurface->SetPixel(x, y, Decide(r, in.GetPixel(x, y)));
}

acSingleChannelOperation::sRowForm SD_ROM2Filter::RowForm() const
{
  return {true, sWindowExtent::OfRadius(1), true, Recursive};
}

void SD_ROM2Filter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int channels = in.Channels;
  const int samples = count * channels;
  for (int j = 0; j < samples; ++j) {
    int r[8] = {in.Rows[0][j - channels], in.Rows[0][j],   in.Rows[0][j + channels], in.Rows[1][j - channels],
                in.Rows[1][j + channels], in.Rows[2][j - channels], in.Rows[2][j],   in.Rows[2][j + channels]};
    out[j] = Decide(r, in.Rows[1][j]);
  }
}
