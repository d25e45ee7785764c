#include "TrilateralFilter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "kvDiagnostics.h"
#include "kvLateralWeights.h"

#define UNIT "pkLateral\\TrilateralFilter"

namespace {
constexpr int MaxR = 4 * 255;
}

TrilateralFilter::TrilateralFilter()
{
  Name = "Trilateral";
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
  info.theParameterType = ptReal;
  info.Precision = 1;
  info.MinBound = 0;
  info.ParameterName = "Spatial parameter";
  info.MaxBound = 10;
  info.DefaultValue = 5;
  Params->AddNewParam(info);
  info.ParameterName = "Radiometric parameter";
  info.MaxBound = 100;
  info.DefaultValue = 40;
  Params->AddNewParam(info);
  info.ParameterName = "Impulse parameter";
  info.DefaultValue = 50;
  Params->AddNewParam(info);
  info.ParameterName = "Fuzzy switcher parameter";
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

// exp(-a / (k s^2)) is written as SigmaExp(-a / k, s), which also covers s = 0 by its limit.
double TrilateralFilter::SpatialWeight(int dx, int dy) const
{
  return kvLateral::SigmaExp(-double(dx * dx + dy * dy) / 2.0, SigmaS);
}

double TrilateralFilter::RadiometricWeight(int difference) const
{
  return kvLateral::SigmaExp(-double(difference * difference) / 2.0, SigmaR);
}

double TrilateralFilter::ImpulseWeight(int r) const
{
  return kvLateral::SigmaExp(-double(r) * double(r) / 2.0, SigmaI);
}

double TrilateralFilter::Switch(int rSum) const
{
  return 1.0 - kvLateral::SigmaExp(-double(rSum) * double(rSum) / 8.0, SigmaJ);
}

double TrilateralFilter::Combine(double wR, double wS, double wI, double J)
{
  // pow(x, 1) == x and pow(x, 0) == 1 exactly, so the two ends of the switch skip pow.
  if (J == 0.0) return wR * wS * 1.0;
  if (J == 1.0) return 1.0 * wS * wI;
  return std::pow(wR, 1.0 - J) * wS * std::pow(wI, J);
}

void TrilateralFilter::PreProcessing()
{
  WindowSize = Params->GetParam(0)->GetInteger();
  SigmaS = Params->GetParam(1)->GetReal();
  SigmaR = Params->GetParam(2)->GetReal();
  SigmaI = Params->GetParam(3)->GetReal();
  SigmaJ = Params->GetParam(4)->GetReal();
  Recursive = Params->GetParam(5)->GetBoolean();
  Lo = kvLateral::Lower(WindowSize);
  Hi = kvLateral::Upper(WindowSize);
  SpatialTable.resize(size_t(WindowSize) * size_t(WindowSize));
  for (int dx = -Lo; dx <= Hi; ++dx)
    for (int dy = -Lo; dy <= Hi; ++dy) SpatialTable[size_t((dx + Lo) * WindowSize + dy + Lo)] = SpatialWeight(dx, dy);
  RadiometricTable.resize(256);
  for (int d = 0; d < 256; ++d) RadiometricTable[size_t(d)] = RadiometricWeight(d);
  ImpulseTable.resize(MaxR + 1);
  for (int r = 0; r <= MaxR; ++r) ImpulseTable[size_t(r)] = ImpulseWeight(r);
  SwitchTable.resize(2 * MaxR + 1);
  for (int r = 0; r <= 2 * MaxR; ++r) SwitchTable[size_t(r)] = Switch(r);
  // The statistic of the source is fixed during a run; a recursive run reads the changing
  // destination and computes it per sample instead.
  if (FastPath && !Recursive)
    RMap.Build(*SourceSurface, int(FirstColumn) - Lo, int(FirstRow) - Lo, int(EndColumn) + Hi, int(EndRow) + Hi);
}

void TrilateralFilter::PostProcessing()
{
  SpatialTable.clear();
  RadiometricTable.clear();
  ImpulseTable.clear();
  SwitchTable.clear();
  RMap.Clear();
}

void TrilateralFilter::TransformPlain(const cBMPSurface& in, int x, int y)
{
  const int g0 = in.GetPixel(x, y);
  const int R0 = cROADStatistic::At(in, x, y);
  double S = 0;
  double T = 0;
  for (int dx = -Lo; dx <= Hi; ++dx)
    for (int dy = -Lo; dy <= Hi; ++dy) {
      const int g = in.GetPixel(x + dx, y + dy);
      const int Rq = cROADStatistic::At(in, x + dx, y + dy);
      const double w = Combine(RadiometricWeight(g - g0), SpatialWeight(dx, dy), ImpulseWeight(Rq), Switch(R0 + Rq));
      S += g * w;
      T += w;
    }
  ResultSurface->SetPixel(x, y, kvLateral::WeightedMean(S, T, uint8_t(g0)));
}

void TrilateralFilter::TransformPixel(unsigned ux, unsigned uy)
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
  const int g0 = in.Row(y)[x * channels + c];
  const int R0 = RMap.Get(x, y, c);
  double S = 0;
  double T = 0;
  const double* ws = SpatialTable.data();
  for (int dx = -Lo; dx <= Hi; ++dx)
    for (int dy = -Lo; dy <= Hi; ++dy) {
      const int g = in.Row(y + dy)[(x + dx) * channels + c];
      const int Rq = RMap.Get(x + dx, y + dy, c);
      const double w = Combine(RadiometricTable[size_t(std::abs(g - g0))], *ws++, ImpulseTable[size_t(Rq)],
                               SwitchTable[size_t(R0 + Rq)]);
      S += g * w;
      T += w;
    }
  ResultSurface->SetPixel(x, y, kvLateral::WeightedMean(S, T, uint8_t(g0)));
}
