#include "ROADFilter.h"

#include <cmath>

#include "kvRuntime/kvDiagnostics.h"
#include "kvLateralWeights.h"
#include "kvRuntime/kvVectorClones.h"

KV_UNIT("pkLateral\\ROADFilter");

ROADFilter::ROADFilter()
    : acLateralFilter("ROAD filter", "Misc Filters", {"Spatial parameter", 10, 5}, {"Impulse parameter", 100, 50})
{}

double ROADFilter::SpatialWeight(int dx, int dy) const
{
  return kvLateral::SigmaExp(-double(dx * dx + dy * dy) / 2.0, SigmaS);
}

double ROADFilter::ImpulseWeight(int r) const
{
  return kvLateral::SigmaExp(-double(r) * double(r) / 2.0, SecondSigma);
}

void ROADFilter::PreProcessing()
{
  acLateralFilter::PreProcessing();
  SpatialTable.resize(size_t(WindowSize) * size_t(WindowSize));
  for (int dx = -Lo; dx <= Hi; ++dx)
    for (int dy = -Lo; dy <= Hi; ++dy) SpatialTable[size_t((dx + Lo) * WindowSize + dy + Lo)] = SpatialWeight(dx, dy);
  ImpulseTable.resize(4 * 255 + 1);
  for (int r = 0; r <= 4 * 255; ++r) ImpulseTable[size_t(r)] = ImpulseWeight(r);
}

void ROADFilter::PostProcessing()
{
  SpatialTable.clear();
  ImpulseTable.clear();
}

void ROADFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = Recursive ? *ResultSurface : *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
  double weighted = 0;
  double weights = 0;
  for (int dx = -Lo; dx <= Hi; ++dx)
    for (int dy = -Lo; dy <= Hi; ++dy) {
      const int g = in.GetPixel(x + dx, y + dy);
      const double w = SpatialWeight(dx, dy) * ImpulseWeight(cROADStatistic::At(in, x + dx, y + dy));
      weighted += g * w;
      weights += w;
    }
  ResultSurface->SetPixel(x, y, kvLateral::WeightedMean(weighted, weights, in.GetPixel(x, y)));
}

acSingleChannelOperation::sRowForm ROADFilter::RowForm() const
{
  // One sample further each way for the statistic of the window's outer samples.
  return {true, {Lo + 1, Hi + 1, Lo + 1, Hi + 1}, true, Recursive};
}

namespace {
KV_VECTOR_CLONES void AddTerms(const uint8_t* g, const uint16_t* r, double spatial, const double* impulse, int samples,
                               double* S, double* T)
{
  for (int j = 0; j < samples; ++j) {
    const double w = spatial * impulse[r[j]];
    S[j] += g[j] * w;
    T[j] += w;
  }
}
}  // namespace

void ROADFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int channels = in.Channels;
  const int samples = count * channels;
  // The statistic of window row k (rows[k + 1]) for samples -Lo .. count + Hi - 1.
  const int first = -Lo * channels;
  const int stride = (count + Hi) * channels - first;
  std::vector<uint16_t> statistic(size_t(stride) * size_t(WindowSize));
  for (int k = 0; k < WindowSize; ++k)
    cROADStatistic::Row(in.Rows[k], in.Rows[k + 1], in.Rows[k + 2], channels, first, first + stride,
                        statistic.data() + size_t(k) * size_t(stride) - first);
  std::vector<double> weighted(static_cast<size_t>(samples), 0.0);
  std::vector<double> weights(static_cast<size_t>(samples), 0.0);
  const double* ws = SpatialTable.data();
  for (int dx = -Lo; dx <= Hi; ++dx)
    for (int k = 0; k < WindowSize; ++k)
      AddTerms(in.Rows[k + 1] + dx * channels, statistic.data() + size_t(k) * size_t(stride) - first + dx * channels,
               *ws++, ImpulseTable.data(), samples, weighted.data(), weights.data());
  const uint8_t* centre = in.Rows[Lo + 1];
  for (int j = 0; j < samples; ++j)
    out[j] = kvLateral::WeightedMean(weighted[size_t(j)], weights[size_t(j)], centre[j]);
}
