#include "ROADFilter.h"

#include <cmath>

#include "kvDiagnostics.h"
#include "kvLateralWeights.h"

#define UNIT "pkLateral\\ROADFilter"

ROADFilter::ROADFilter()
{
  Name = "ROAD filter";
  GroupName = "Misc Filters";
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
  info.theParameterType = ptReal;
  info.Precision = 1;
  info.MinBound = 0;
  info.ParameterName = "Spatial parameter";
  info.MaxBound = 10;
  info.DefaultValue = 5;
  Params->AddNewParam(info);
  info.ParameterName = "Impulse parameter";
  info.MaxBound = 100;
  info.DefaultValue = 50;
  Params->AddNewParam(info);
  info.ParameterName = "Recursive executing";
  info.theParameterType = ptBoolean;
  info.MinBound = 0;
  info.MaxBound = 1;
  info.DefaultValue = 0;
  info.Precision = 0;
  Params->AddNewParam(info);
}

double ROADFilter::SpatialWeight(int dx, int dy) const
{
  return kvLateral::SigmaExp(-double(dx * dx + dy * dy) / 2.0, SigmaS);
}

double ROADFilter::ImpulseWeight(int r) const
{
  return kvLateral::SigmaExp(-double(r) * double(r) / 2.0, SigmaI);
}

void ROADFilter::PreProcessing()
{
  WindowSize = Params->GetParam(0)->GetInteger();
  SigmaS = Params->GetParam(1)->GetReal();
  SigmaI = Params->GetParam(2)->GetReal();
  Recursive = Params->GetParam(3)->GetBoolean();
  Lo = kvLateral::Lower(WindowSize);
  Hi = kvLateral::Upper(WindowSize);
  SpatialTable.resize(size_t(WindowSize) * size_t(WindowSize));
  for (int dx = -Lo; dx <= Hi; ++dx)
    for (int dy = -Lo; dy <= Hi; ++dy) SpatialTable[size_t((dx + Lo) * WindowSize + dy + Lo)] = SpatialWeight(dx, dy);
  ImpulseTable.resize(4 * 255 + 1);
  for (int r = 0; r <= 4 * 255; ++r) ImpulseTable[size_t(r)] = ImpulseWeight(r);
  if (FastPath && !Recursive)
    RMap.Build(*SourceSurface, int(FirstColumn) - Lo, int(FirstRow) - Lo, int(EndColumn) + Hi, int(EndRow) + Hi);
}

void ROADFilter::PostProcessing()
{
  SpatialTable.clear();
  ImpulseTable.clear();
  RMap.Clear();
}

void ROADFilter::TransformPlain(const cBMPSurface& in, int x, int y)
{
  double S = 0;
  double T = 0;
  for (int dx = -Lo; dx <= Hi; ++dx)
    for (int dy = -Lo; dy <= Hi; ++dy) {
      const int g = in.GetPixel(x + dx, y + dy);
      const double w = SpatialWeight(dx, dy) * ImpulseWeight(cROADStatistic::At(in, x + dx, y + dy));
      S += g * w;
      T += w;
    }
  ResultSurface->SetPixel(x, y, kvLateral::WeightedMean(S, T, in.GetPixel(x, y)));
}

void ROADFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = Recursive ? *ResultSurface : *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
  if (!FastPath || Recursive || x < Lo || y < Lo || x + Hi >= in.GetWidth() || y + Hi >= in.GetHeight()) {
    TransformPlain(in, x, y);
    return;
  }
  const int channels = in.GetChannelsCount();
  const int c = channels == 1 ? 0 : in.CurrentChannel;
  double S = 0;
  double T = 0;
  const double* ws = SpatialTable.data();
  for (int dx = -Lo; dx <= Hi; ++dx)
    for (int dy = -Lo; dy <= Hi; ++dy) {
      const int g = in.Row(y + dy)[(x + dx) * channels + c];
      const double w = *ws++ * ImpulseTable[size_t(RMap.Get(x + dx, y + dy, c))];
      S += g * w;
      T += w;
    }
  ResultSurface->SetPixel(x, y, kvLateral::WeightedMean(S, T, in.Row(y)[x * channels + c]));
}
