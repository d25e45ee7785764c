#include "DifferentFilter.h"

#include <algorithm>

#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("pkMath\\DifferentFilter");

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
  Describe("Different Filter", "Mathematics", otFilter, fmParamDialog);
  DegreeXParam = Params->AddInteger("Degree X", 0, 20, 0);
  DegreeYParam = Params->AddInteger("Degree Y", 0, 20, 0);
}

void DifferentFilter::PreProcessing()
{
  DegreeX = (*Params)[DegreeXParam].GetInteger();
  DegreeY = (*Params)[DegreeYParam].GetInteger();
  FactorX.resize(size_t(DegreeX + 1));
  for (int i = 0; i <= DegreeX; ++i) FactorX[size_t(i)] = int32_t(Binomial(DegreeX, i) * Sign(i + DegreeX));
  FactorY.resize(size_t(DegreeY + 1));
  for (int j = 0; j <= DegreeY; ++j) FactorY[size_t(j)] = Binomial(DegreeY, j) * Sign(j + DegreeY);
}

void DifferentFilter::PostProcessing()
{
  FactorX.clear();
  FactorY.clear();
}

void DifferentFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
  int64_t sum = 0;
  for (int i = 0; i <= DegreeX; ++i)
    for (int j = 0; j <= DegreeY; ++j) sum += in.GetPixel(x - i, y - j) * FactorX[size_t(i)] * FactorY[size_t(j)];
  if (sum < 0) sum = -sum;
  ResultSurface->SetPixel(x, y, sum > 255 ? uint8_t(255) : uint8_t(sum));
}

acSingleChannelOperation::sRowForm DifferentFilter::RowForm() const
{
  return {true, {DegreeX, 0, DegreeY, 0}, true, false};
}

void DifferentFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int channels = in.Channels;
  const int n = count * channels;
  std::vector<int32_t> along(static_cast<size_t>(n));
  std::vector<int64_t> sum(static_cast<size_t>(n), 0);
  // Window row k lies DegreeY - k rows up.
  for (int k = 0; k <= DegreeY; ++k) {
    const uint8_t* row = in.Rows[k];
    std::fill(along.begin(), along.end(), 0);
    for (int i = 0; i <= DegreeX; ++i) {
      const int32_t f = FactorX[size_t(i)];
      const uint8_t* from = row - i * channels;
      for (int p = 0; p < n; ++p) along[size_t(p)] += f * from[p];
    }
    const int64_t f = FactorY[size_t(DegreeY - k)];
    for (int p = 0; p < n; ++p) sum[size_t(p)] += f * along[size_t(p)];
  }
  for (int p = 0; p < n; ++p) {
    const int64_t s = sum[size_t(p)] < 0 ? -sum[size_t(p)] : sum[size_t(p)];
    out[p] = s > 255 ? uint8_t(255) : uint8_t(s);
  }
}
