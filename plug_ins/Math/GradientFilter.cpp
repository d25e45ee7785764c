#include "GradientFilter.h"

#include <cmath>
#include <cstdlib>

#include "kvDiagnostics.h"

#define UNIT "pkMath\\GradientFilter"

GradientFilter::GradientFilter()
{
  Name = "Gradient Filter";
  GroupName = "Mathematics";
  OperationType = otFilter;
  FormMode = 1;
  TotalVariation = false;
  KV_ASSERT_TEXT(Params != nullptr, "OperationParams != NULL", UNIT);
  sParameterInfo info;
  info.ParameterName = "Factor";
  info.theParameterType = ptReal;
  info.MinBound = 0;
  info.MaxBound = 4;
  info.DefaultValue = 1;
  info.Precision = 1;
  Params->AddNewParam(info);
  info = sParameterInfo();
  info.ParameterName = "Operator";
  info.theParameterType = ptEnumerated;
  info.AddEnumString("Roberts");
  info.AddEnumString("Sobel");
  info.DefaultValue = 0;
  Params->AddNewParam(info);
  info = sParameterInfo();
  info.ParameterName = "Perfect";
  info.theParameterType = ptBoolean;
  info.MinBound = 0;
  info.MaxBound = 1;
  info.DefaultValue = 0;
  Params->AddNewParam(info);
}

void GradientFilter::PreProcessing()
{
  Factor = Params->GetParam(0)->GetReal();
  const cOperationParameter* op = Params->GetParam(1);
  KV_ASSERT_TEXT(op->GetType() == ptEnumerated, "theParameterType == ptEnumerated", UNIT);
  Operator = uint8_t(op->GetEnumSelectedIndex());
  Perfect = Params->GetParam(2)->GetBoolean() ? 1 : 0;
}

void GradientFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
  // g[j][i] = sample at (x + i - 1, y + j - 1).
  int g[3][3];
  if (FastPath && x >= 1 && y >= 1 && x + 1 < in.GetWidth() && y + 1 < in.GetHeight()) {
    const int channels = in.GetChannelsCount();
    const int c = channels == 1 ? 0 : in.CurrentChannel;
    for (int j = 0; j < 3; ++j) {
      const uint8_t* row = in.Row(y + j - 1) + (x - 1) * channels + c;
      for (int i = 0; i < 3; ++i) g[j][i] = row[i * channels];
    }
  } else if (Operator == 0) {
    for (int j = 1; j < 3; ++j)
      for (int i = 1; i < 3; ++i) g[j][i] = in.GetPixel(x + i - 1, y + j - 1);
  } else {
    for (int j = 0; j < 3; ++j)
      for (int i = 0; i < 3; ++i) g[j][i] = in.GetPixel(x + i - 1, y + j - 1);
  }
  int gx, gy;
  if (Operator == 0) {
    gy = g[2][2] - g[1][1];
    gx = g[2][1] - g[1][2];
  } else {
    gy = (g[2][0] + 2 * g[2][1] + g[2][2]) - (g[0][0] + 2 * g[0][1] + g[0][2]);
    gx = (g[0][2] + 2 * g[1][2] + g[2][2]) - (g[0][0] + 2 * g[1][0] + g[2][0]);
  }
  const double magnitude = Perfect ? std::sqrt(double(gx * gx + gy * gy)) : double(std::abs(gx) + std::abs(gy));
  const double r = std::trunc(magnitude * Factor);
  ResultSurface->SetPixel(x, y, r > 255 ? uint8_t(255) : uint8_t(r));
}
