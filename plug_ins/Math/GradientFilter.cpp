#include "GradientFilter.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "kvRuntime/kvDiagnostics.h"
#include "kvRuntime/kvVectorClones.h"

KV_UNIT("pkMath\\GradientFilter");

namespace {
// The result sample of gradient components gx, gy.
inline uint8_t Magnitude(int gx, int gy, bool perfect, double factor)
{
  const double magnitude = perfect ? std::sqrt(double(gx * gx + gy * gy)) : double(std::abs(gx) + std::abs(gy));
  const double r = std::trunc(magnitude * factor);
  return r > 255 ? uint8_t(255) : uint8_t(r);
}

// The magnitudes of n gradients into out. The scaled magnitude lies in 0 .. 4 * 2040, where
// cutting to int is trunc.
KV_VECTOR_CLONES void Magnitudes(const int* gx, const int* gy, int n, bool perfect, double factor, uint8_t* out)
{
  if (perfect)
    for (int i = 0; i < n; ++i) {
      const int r = int(std::sqrt(double(gx[i] * gx[i] + gy[i] * gy[i])) * factor);
      out[i] = uint8_t(r > 255 ? 255 : r);
    }
  else
    for (int i = 0; i < n; ++i) {
      const int r = int(double(std::abs(gx[i]) + std::abs(gy[i])) * factor);
      out[i] = uint8_t(r > 255 ? 255 : r);
    }
}
}  // namespace

GradientFilter::GradientFilter()
{
  Describe("Gradient Filter", "Mathematics", otFilter, fmParamDialog);
  FactorParam = Params->AddReal("Factor", 0, 4, 1, 1);
  OperatorParam = Params->AddEnumerated("Operator", {"Roberts", "Sobel"}, 0);
  PerfectParam = Params->AddBoolean("Perfect", false);
}

void GradientFilter::PreProcessing()
{
  Factor = (*Params)[FactorParam].GetReal();
  const cOperationParameter& op = (*Params)[OperatorParam];
  KV_ASSERT(op.GetType() == ptEnumerated, "theParameterType == ptEnumerated");
  Operator = uint8_t(op.GetEnumSelectedIndex());
  Perfect = (*Params)[PerfectParam].GetBoolean() ? 1 : 0;
}

void GradientFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
  int gx, gy;
  if (Operator == 0) {
    gy = in.GetPixel(x + 1, y + 1) - in.GetPixel(x, y);
    gx = in.GetPixel(x, y + 1) - in.GetPixel(x + 1, y);
  } else {
    // g[j][i] = sample at (x + i - 1, y + j - 1).
    int g[3][3];
    for (int j = 0; j < 3; ++j)
      for (int i = 0; i < 3; ++i) g[j][i] = in.GetPixel(x + i - 1, y + j - 1);
    gy = (g[2][0] + 2 * g[2][1] + g[2][2]) - (g[0][0] + 2 * g[0][1] + g[0][2]);
    gx = (g[0][2] + 2 * g[1][2] + g[2][2]) - (g[0][0] + 2 * g[1][0] + g[2][0]);
  }
  ResultSurface->SetPixel(x, y, Magnitude(gx, gy, Perfect != 0, Factor));
}

acSingleChannelOperation::sRowForm GradientFilter::RowForm() const
{
  // Roberts reads the pixel, its right and lower neighbours; Sobel the 3 x 3 around it.
  return {true, Operator == 0 ? sWindowExtent{0, 1, 0, 1} : sWindowExtent::OfRadius(1), true, false};
}

void GradientFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int ch = in.Channels;
  const int n = count * ch;
  std::vector<int> gx(static_cast<size_t>(n)), gy(static_cast<size_t>(n));
  if (Operator == 0) {
    const uint8_t* r0 = in.Rows[0];
    const uint8_t* r1 = in.Rows[1];
    for (int j = 0; j < n; ++j) {
      gy[size_t(j)] = r1[j + ch] - r0[j];
      gx[size_t(j)] = r1[j] - r0[j + ch];
    }
  } else {
    const uint8_t* r0 = in.Rows[0];
    const uint8_t* r1 = in.Rows[1];
    const uint8_t* r2 = in.Rows[2];
    for (int j = 0; j < n; ++j) {
      gy[size_t(j)] = (r2[j - ch] + 2 * r2[j] + r2[j + ch]) - (r0[j - ch] + 2 * r0[j] + r0[j + ch]);
      gx[size_t(j)] = (r0[j + ch] + 2 * r1[j + ch] + r2[j + ch]) - (r0[j - ch] + 2 * r1[j - ch] + r2[j - ch]);
    }
  }
  Magnitudes(gx.data(), gy.data(), n, Perfect != 0, Factor, out);
}
