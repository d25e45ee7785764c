#include "TrilateralFilter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "cStatisticRowCache.h"
#include "kvRuntime/kvDiagnostics.h"
#include "kvLateralWeights.h"

KV_UNIT("pkLateral\\TrilateralFilter");

namespace {
constexpr int MaxR = 4 * 255;
}

TrilateralFilter::TrilateralFilter()
{
  Describe("Trilateral", "Lateral Filters", otFilter, fmParamDialog);
  SizeParam = Params->AddInteger("Window size", 1, 27, 3);
  SigmaSParam = Params->AddReal("Spatial parameter", 0, 10, 5, 1);
  SigmaRParam = Params->AddReal("Radiometric parameter", 0, 100, 40, 1);
  SigmaIParam = Params->AddReal("Impulse parameter", 0, 100, 50, 1);
  SigmaJParam = Params->AddReal("Fuzzy switcher parameter", 0, 100, 50, 1);
  RecursiveParam = Params->AddBoolean("Recursive executing", false);
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
  WindowSize = (*Params)[SizeParam].GetInteger();
  SigmaS = (*Params)[SigmaSParam].GetReal();
  SigmaR = (*Params)[SigmaRParam].GetReal();
  SigmaI = (*Params)[SigmaIParam].GetReal();
  SigmaJ = (*Params)[SigmaJParam].GetReal();
  Recursive = (*Params)[RecursiveParam].GetBoolean();
  RunId = cStatisticRowCache::NewRun();
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
  PrepareBlendTables();
}

// The two powers of Combine, tabled by R0 + Rq and by the difference or Rq, for the sums of
// statistics the run can meet (a source run reads a fixed picture, so they are known before
// it starts): far fewer powers than two per window sample on a large picture. Each entry keeps
// Combine's own cases, so (P * wS) * Q is Combine's product to the bit.
void TrilateralFilter::PrepareBlendTables()
{
  BlendRow.clear();
  BlendP.clear();
  BlendQ.clear();
  BlendCentre.clear();
  if (Recursive || !RegionInsideSurface()) return;
  std::vector<uint8_t> present(MaxR + 1, 0);
  CollectStatistics(present);
  std::vector<int> values;
  for (int r = 0; r <= MaxR; ++r)
    if (present[size_t(r)]) values.push_back(r);
  if (values.empty()) return;
  std::vector<uint8_t> sums(2 * MaxR + 1, 0);
  for (int a : values)
    for (int b : values) sums[size_t(a + b)] = 1;
  const size_t rowCount = size_t(std::count(sums.begin(), sums.end(), 1));
  const double tableCost = double(rowCount) * 256.0 + double(values.size()) * double(values.size());
  const double directCost = 2.0 * WindowSize * WindowSize * double(EndRow - FirstRow) *
                            double(EndColumn - FirstColumn) * SourceSurface->GetChannelsCount();
  if (tableCost >= directCost) return;
  BlendStride = size_t(values.back()) + 1;
  BlendRow.assign(2 * MaxR + 1, -1);
  BlendP.resize(rowCount * 256);
  BlendQ.assign(BlendStride * BlendStride, 0.0);
  int row = 0;
  for (int sum = 0; sum <= 2 * MaxR; ++sum) {
    if (!sums[size_t(sum)]) continue;
    BlendRow[size_t(sum)] = row * 256;
    const double J = SwitchTable[size_t(sum)];
    double* P = &BlendP[size_t(row) * 256];
    for (int d = 0; d < 256; ++d) {
      const double wR = RadiometricTable[size_t(d)];
      P[d] = J == 0.0 ? wR : (J == 1.0 ? 1.0 : std::pow(wR, 1.0 - J));
    }
    ++row;
  }
  // By R0 and then Rq: the rows of the small statistics of smooth areas stay in the cache, and
  // the window samples of an impulse's centre read neighbouring entries.
  for (int r0 : values)
    for (int r : values) {
      const double J = SwitchTable[size_t(r0 + r)];
      const double wI = ImpulseTable[size_t(r)];
      BlendQ[size_t(r0) * BlendStride + size_t(r)] = J == 0.0 ? 1.0 : (J == 1.0 ? wI : std::pow(wI, J));
    }
  // The centre's own term depends on R0 alone: the same product, once for each value.
  const double centreSpatial = SpatialTable[size_t(Lo * WindowSize + Lo)];
  BlendCentre.assign(BlendStride, 0.0);
  for (int r0 : values)
    BlendCentre[size_t(r0)] =
        BlendP[size_t(BlendRow[size_t(2 * r0)])] * centreSpatial * BlendQ[size_t(r0) * BlendStride + size_t(r0)];
}

// Marks every value of the statistic the run reads: at the region's samples and their window
// samples, positions outside the picture resolved as At resolves them.
void TrilateralFilter::CollectStatistics(std::vector<uint8_t>& present) const
{
  const cBMPSurface& in = *SourceSurface;
  const int channels = in.GetChannelsCount();
  const int x0 = int(FirstColumn) - Lo, x1 = int(EndColumn) + Hi;
  const int width = x1 - x0 + 2;
  std::vector<uint8_t> lines(size_t(3) * size_t(width) * size_t(channels));
  std::vector<uint16_t> statistic(size_t(width) * size_t(channels));
  for (int y = int(FirstRow) - Lo; y < int(EndRow) + Hi; ++y) {
    for (int k = 0; k < 3; ++k) {
      const uint8_t* from = in.Row(kvFoldIndex(y - 1 + k, in.GetHeight()));
      uint8_t* line = &lines[size_t(k) * size_t(width) * size_t(channels)];
      // The part inside the picture in one copy, only the ends folded sample by sample.
      const int inFirst = std::clamp(1 - x0, 0, width), inEnd = std::clamp(int(in.GetWidth()) + 1 - x0, inFirst, width);
      std::copy(from + (x0 - 1 + inFirst) * channels, from + (x0 - 1 + inEnd) * channels, line + inFirst * channels);
      for (int i = 0; i < width; ++i) {
        if (i == inFirst) i = inEnd;
        if (i >= width) break;
        const uint8_t* sample = from + kvFoldIndex(x0 - 1 + i, in.GetWidth()) * channels;
        std::copy(sample, sample + channels, line + i * channels);
      }
    }
    const size_t plane = size_t(width) * size_t(channels);
    cROADStatistic::Row(lines.data(), lines.data() + plane, lines.data() + 2 * plane, channels, channels,
                        (width - 1) * channels, statistic.data());
    for (int j = channels; j < (width - 1) * channels; ++j) present[statistic[size_t(j)]] = 1;
  }
}

void TrilateralFilter::PostProcessing()
{
  SpatialTable.clear();
  RadiometricTable.clear();
  ImpulseTable.clear();
  SwitchTable.clear();
  BlendRow.clear();
  BlendP.clear();
  BlendQ.clear();
  BlendCentre.clear();
}

void TrilateralFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = Recursive ? *ResultSurface : *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
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

acSingleChannelOperation::sRowForm TrilateralFilter::RowForm() const
{
  // One sample further each way for the statistic of the window's outer samples.
  return {true, {Lo + 1, Hi + 1, Lo + 1, Hi + 1}, true, Recursive};
}

namespace {
// Lanes neighbouring samples at once, each one's terms in the reference's order: the sums and
// the samples' own table rows stay in registers, and the lanes' chains of additions overlap.
// Terms > 0 fixes the window (unrolled); 0 takes terms. Lane l's window term t is rows[t][l]
// with statistic statistic[t][l]; its powers P[first[R0 + Rq] + |difference|] and
// Q[R0 * stride + Rq]; the centre's own term (number centreTerm) is C[R0].
template <int Terms, int Lanes>
void AddBlendLanes(const uint8_t* const* rows, const uint16_t* const* statistic, const double* spatial, int terms,
                   int centreTerm, const uint8_t* centre, const uint16_t* centreR, const int* first, const double* P,
                   const double* Q, size_t stride, const double* C, uint8_t* out)
{
  const int n = Terms > 0 ? Terms : terms;
  int g0[Lanes];
  const int* firstR0[Lanes];
  const double* q[Lanes];
  double S[Lanes], T[Lanes];
  for (int l = 0; l < Lanes; ++l) {
    g0[l] = centre[l];
    firstR0[l] = first + centreR[l];
    q[l] = Q + centreR[l] * stride;
    S[l] = 0;
    T[l] = 0;
  }
  const int c = Terms > 0 ? Terms / 2 : centreTerm;
  for (int t = 0; t < n; ++t) {
    if (t == c) {
      for (int l = 0; l < Lanes; ++l) {
        const double w = C[centreR[l]];
        S[l] += g0[l] * w;
        T[l] += w;
      }
      continue;
    }
    const uint8_t* g = rows[t];
    const uint16_t* r = statistic[t];
    const double ws = spatial[t];
    for (int l = 0; l < Lanes; ++l) {
      const int d = g[l] - g0[l];
      const double w = P[firstR0[l][r[l]] + (d < 0 ? -d : d)] * ws * q[l][r[l]];
      S[l] += g[l] * w;
      T[l] += w;
    }
  }
  for (int l = 0; l < Lanes; ++l) out[l] = kvLateral::WeightedMean(S[l], T[l], uint8_t(g0[l]));
}

// The window rows (the caller's, which this moves along) advance with the lanes, so each term
// reads its samples at fixed offsets.
template <int Terms>
void AddBlendSpan(const uint8_t** rows, const uint16_t** statistic, const double* spatial, int terms, int centreTerm,
                  const uint8_t* centre, const uint16_t* centreR, int samples, const int* first, const double* P,
                  const double* Q, size_t stride, const double* C, uint8_t* out)
{
  constexpr int Lanes = 4;
  auto advance = [&](int by) {
    for (int t = 0; t < terms; ++t) {
      rows[t] += by;
      statistic[t] += by;
    }
  };
  int j = 0;
  for (; j + Lanes <= samples; j += Lanes, advance(Lanes))
    AddBlendLanes<Terms, Lanes>(rows, statistic, spatial, terms, centreTerm, centre + j, centreR + j, first, P, Q,
                                stride, C, out + j);
  for (; j < samples; ++j, advance(1))
    AddBlendLanes<Terms, 1>(rows, statistic, spatial, terms, centreTerm, centre + j, centreR + j, first, P, Q, stride,
                            C, out + j);
}
}  // namespace

void TrilateralFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int channels = in.Channels;
  const int samples = count * channels;
  // The statistic of window row k (rows[k + 1]) for samples -Lo .. count + Hi - 1.
  const int first = -Lo * channels;
  const int stride = (count + Hi) * channels - first;
  std::vector<const uint16_t*> statisticRows(static_cast<size_t>(WindowSize));
  std::vector<uint16_t> statistic;
  if (in.PictureRows && !Recursive) {
    thread_local cStatisticRowCache cache;
    cache.BeginWindow(WindowSize);
    for (int k = 0; k < WindowSize; ++k)
      statisticRows[size_t(k)] =
          cache.Get(RunId, in.Rows[k], in.Rows[k + 1], in.Rows[k + 2], channels, first, first + stride);
  } else {
    statistic.resize(size_t(stride) * size_t(WindowSize));
    for (int k = 0; k < WindowSize; ++k) {
      uint16_t* r = statistic.data() + size_t(k) * size_t(stride) - first;
      cROADStatistic::Row(in.Rows[k], in.Rows[k + 1], in.Rows[k + 2], channels, first, first + stride, r);
      statisticRows[size_t(k)] = r;
    }
  }
  const uint8_t* centre = in.Rows[Lo + 1];
  const uint16_t* centreR = statisticRows[size_t(Lo)];
  if (!BlendRow.empty()) {
    const int terms = WindowSize * WindowSize;
    std::vector<const uint8_t*> rows(static_cast<size_t>(terms));
    std::vector<const uint16_t*> rowsR(static_cast<size_t>(terms));
    for (int dx = -Lo, t = 0; dx <= Hi; ++dx)
      for (int k = 0; k < WindowSize; ++k, ++t) {
        rows[size_t(t)] = in.Rows[k + 1] + dx * channels;
        rowsR[size_t(t)] = statisticRows[size_t(k)] + dx * channels;
      }
    const auto add = terms == 9 ? AddBlendSpan<9> : AddBlendSpan<0>;
    add(rows.data(), rowsR.data(), SpatialTable.data(), terms, Lo * WindowSize + Lo, centre, centreR, samples,
        BlendRow.data(), BlendP.data(), BlendQ.data(), BlendStride, BlendCentre.data(), out);
    return;
  }
  for (int j = 0; j < samples; ++j) {
    const int g0 = centre[j];
    const int R0 = centreR[j];
    double S = 0;
    double T = 0;
    const double* ws = SpatialTable.data();
    for (int dx = -Lo; dx <= Hi; ++dx)
      for (int k = 0; k < WindowSize; ++k) {
        const int g = in.Rows[k + 1][j + dx * channels];
        const int Rq = statisticRows[size_t(k)][j + dx * channels];
        const double w = Combine(RadiometricTable[size_t(std::abs(g - g0))], *ws++, ImpulseTable[size_t(Rq)],
                                 SwitchTable[size_t(R0 + Rq)]);
        S += g * w;
        T += w;
      }
    out[j] = kvLateral::WeightedMean(S, T, uint8_t(g0));
  }
}
