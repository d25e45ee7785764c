#include "BilateralFilter.h"

#include <cmath>
#include <cstdlib>

#include "kvDiagnostics.h"
#include "kvLateralWeights.h"

#define UNIT "pkLateral\\BilateralFilter"

BilateralFilter::BilateralFilter()
{
  Name = "Bilateral";
  GroupName = "Lateral Filters";
  OperationType = otFilter;
  FormMode = 1;
  TotalVariation = false;
  KV_ASSERT_TEXT(Params != nullptr, "OperationParams != NULL", UNIT);
  sParameterInfo info;
  info.ParameterName = "Window size";
  info.theParameterType = ptInteger;
  info.MinBound = 1;
  info.MaxBound = 27;
  info.DefaultValue = 3;
  Params->AddNewParam(info);
  info.ParameterName = "Sigma S";
  info.theParameterType = ptReal;
  info.MinBound = 0;
  info.MaxBound = 10;
  info.DefaultValue = 5;
  info.Precision = 1;
  Params->AddNewParam(info);
  info.ParameterName = "Sigma R";
  info.MaxBound = 50;
  info.DefaultValue = 25;
  Params->AddNewParam(info);
  info.ParameterName = "Recursive executing";
  info.theParameterType = ptBoolean;
  info.MinBound = 0;
  info.MaxBound = 1;
  info.DefaultValue = 0;
  info.Precision = 0;
  Params->AddNewParam(info);
}

double BilateralFilter::SpatialWeight(int dx, int dy) const
{
  const int d = std::abs(dx) + std::abs(dy);
  const int e = -(d * d) / 2;
  return kvLateral::SigmaExp(double(e), SigmaS);
}

double BilateralFilter::RangeWeight(int difference) const
{
  return kvLateral::SigmaExp(-double(difference * difference) * 0.5, SigmaR);
}

void BilateralFilter::PreProcessing()
{
  WindowSize = Params->GetParam(0)->GetInteger();
  SigmaS = Params->GetParam(1)->GetReal();
  SigmaR = Params->GetParam(2)->GetReal();
  Recursive = Params->GetParam(3)->GetBoolean();
  Lo = kvLateral::Lower(WindowSize);
  Hi = kvLateral::Upper(WindowSize);
  SpatialTable.resize(size_t(WindowSize) * size_t(WindowSize));
  for (int dy = -Lo; dy <= Hi; ++dy)
    for (int dx = -Lo; dx <= Hi; ++dx) SpatialTable[size_t((dy + Lo) * WindowSize + dx + Lo)] = SpatialWeight(dx, dy);
  RangeTable.resize(256);
  for (int d = 0; d < 256; ++d) RangeTable[size_t(d)] = RangeWeight(d);
}

void BilateralFilter::PostProcessing()
{
  SpatialTable.clear();
  RangeTable.clear();
}

void BilateralFilter::TransformPlain(const cBMPSurface& in, int x, int y)
{
  const int g0 = in.GetPixel(x, y);
  double S = 0;
  double T = 0;
  for (int dy = -Lo; dy <= Hi; ++dy)
    for (int dx = -Lo; dx <= Hi; ++dx) {
      const int g = in.GetPixel(x + dx, y + dy);
      const double w = SpatialWeight(dx, dy) * RangeWeight(g - g0);
      S += w * g;
      T += w;
    }
  ResultSurface->SetPixel(x, y, kvLateral::WeightedMean(S, T, uint8_t(g0)));
}

void BilateralFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = Recursive ? *ResultSurface : *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
  if (!FastPath || x < Lo || y < Lo || x + Hi >= in.GetWidth() || y + Hi >= in.GetHeight()) {
    TransformPlain(in, x, y);
    return;
  }
  const int channels = in.GetChannelsCount();
  const int c = channels == 1 ? 0 : in.CurrentChannel;
  const int g0 = in.Row(y)[x * channels + c];
  double S = 0;
  double T = 0;
  const double* ws = SpatialTable.data();
  for (int dy = -Lo; dy <= Hi; ++dy) {
    const uint8_t* p = in.Row(y + dy) + (x - Lo) * channels + c;
    for (int dx = -Lo; dx <= Hi; ++dx, p += channels) {
      const int g = *p;
      const double w = *ws++ * RangeTable[size_t(std::abs(g - g0))];
      S += w * g;
      T += w;
    }
  }
  ResultSurface->SetPixel(x, y, kvLateral::WeightedMean(S, T, uint8_t(g0)));
}
