#include "BilateralFilter.h"

#include <cmath>
#include <cstdlib>

#include "kvDiagnostics.h"
#include "kvLateralWeights.h"

KV_UNIT("pkLateral\\BilateralFilter");

BilateralFilter::BilateralFilter()
{
  Name = "Bilateral";
  GroupName = "Lateral Filters";
  OperationType = otFilter;
  FormMode = 1;
  TotalVariation = false;
  KV_ASSERT(Params != nullptr, "OperationParams != NULL");
  SizeParam = Params->AddInteger("Window size", 1, 27, 3);
  SigmaSParam = Params->AddReal("Sigma S", 0, 10, 5, 1);
  SigmaRParam = Params->AddReal("Sigma R", 0, 50, 25, 1);
  RecursiveParam = Params->AddBoolean("Recursive executing", false);
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
  WindowSize = (*Params)[SizeParam].GetInteger();
  SigmaS = (*Params)[SigmaSParam].GetReal();
  SigmaR = (*Params)[SigmaRParam].GetReal();
  Recursive = (*Params)[RecursiveParam].GetBoolean();
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

void BilateralFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = Recursive ? *ResultSurface : *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
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

acSingleChannelOperation::sRowForm BilateralFilter::RowForm() const
{
  return {true, sWindowExtent::OfSize(WindowSize, WindowSize), true, Recursive};
}

namespace {
// One window offset's terms for every sample of the span, each sample's sums taking the terms
// in the same order as the reference.
__attribute__((target_clones("avx2", "default"))) void AddTerms(const uint8_t* g, const uint8_t* centre, double spatial,
                                                                const double* range, int samples, double* S, double* T)
{
  for (int j = 0; j < samples; ++j) {
    const int d = int(g[j]) - int(centre[j]);
    const double w = spatial * range[d < 0 ? -d : d];
    S[j] += w * g[j];
    T[j] += w;
  }
}
}  // namespace

void BilateralFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int channels = in.Channels;
  const int samples = count * channels;
  std::vector<double> S(static_cast<size_t>(samples), 0.0);
  std::vector<double> T(static_cast<size_t>(samples), 0.0);
  const uint8_t* centre = in.Rows[Lo];
  const double* ws = SpatialTable.data();
  for (int k = 0; k < WindowSize; ++k)
    for (int dx = -Lo; dx <= Hi; ++dx)
      AddTerms(in.Rows[k] + dx * channels, centre, *ws++, RangeTable.data(), samples, S.data(), T.data());
  for (int j = 0; j < samples; ++j) out[j] = kvLateral::WeightedMean(S[size_t(j)], T[size_t(j)], centre[j]);
}
