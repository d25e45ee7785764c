#include "DifferentFilter.h"

#include "kvDiagnostics.h"

#define UNIT "pkMath\\DifferentFilter"

namespace {
int64_t Binomial(int n, int k)
{
  int64_t r = 1;
  for (int i = 1; i <= k; ++i) r = r * (n - k + i) / i;
  return r;
}
int64_t Sign(int m)
{
  return m % 2 != 0 ? -1 : 1;
}
}  // namespace

DifferentFilter::DifferentFilter()
{
  Name = "Different Filter";
  GroupName = "Mathematics";
  OperationType = otFilter;
  FormMode = 1;
  TotalVariation = false;
  KV_ASSERT_TEXT(Params != nullptr, "OperationParams != NULL", UNIT);
  sParameterInfo info;
  info.theParameterType = ptInteger;
  info.MinBound = 0;
  info.MaxBound = 20;
  info.DefaultValue = 0;
  info.ParameterName = "Degree X";
  Params->AddNewParam(info);
  info.ParameterName = "Degree Y";
  Params->AddNewParam(info);
}

void DifferentFilter::PreProcessing()
{
  DegreeX = Params->GetParam(0)->GetInteger();
  DegreeY = Params->GetParam(1)->GetInteger();
  Weights.resize(size_t(DegreeX + 1) * size_t(DegreeY + 1));
  for (int i = 0; i <= DegreeX; ++i)
    for (int j = 0; j <= DegreeY; ++j)
      Weights[size_t(i * (DegreeY + 1) + j)] =
          Binomial(DegreeX, i) * Binomial(DegreeY, j) * Sign(i + DegreeX) * Sign(j + DegreeY);
}

void DifferentFilter::PostProcessing()
{
  Weights.clear();
}

void DifferentFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
  int64_t S = 0;
  const int64_t* w = Weights.data();
  if (FastPath && x >= DegreeX && y >= DegreeY && x < in.GetWidth() && y < in.GetHeight()) {
    const int channels = in.GetChannelsCount();
    const int c = channels == 1 ? 0 : in.CurrentChannel;
    for (int i = 0; i <= DegreeX; ++i)
      for (int j = 0; j <= DegreeY; ++j) S += in.Row(y - j)[(x - i) * channels + c] * *w++;
  } else {
    for (int i = 0; i <= DegreeX; ++i)
      for (int j = 0; j <= DegreeY; ++j) S += in.GetPixel(x - i, y - j) * *w++;
  }
  if (S < 0) S = -S;
  ResultSurface->SetPixel(x, y, S > 255 ? uint8_t(255) : uint8_t(S));
}
