#include "cResampleOperation.h"

#include <interpolation.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

enum eResampleType { rtNearestNeighbor = 0, rtBilinear = 1, rtBicubic = 2 };

// Source index of result sample k for the nearest-neighbour grid, folded by the border rule.
// Columns round to nearest, rows round down.
std::vector<int> NearestColumns(const cBMPSurface& source, int newWidth, int offset)
{
  const double sx = double(source.GetWidth()) / double(newWidth);
  std::vector<int> index(static_cast<size_t>(newWidth));
  for (int k = 0; k < newWidth; ++k) {
    int x = int(std::floor(k * sx + 0.5)) + offset;
    int y = 0;
    source.CorrectBorders(x, y);
    index[size_t(k)] = x;
  }
  return index;
}

std::vector<int> NearestRows(const cBMPSurface& source, int newHeight, int offset)
{
  const double sy = double(source.GetHeight()) / double(newHeight);
  std::vector<int> index(static_cast<size_t>(newHeight));
  for (int j = 0; j < newHeight; ++j) {
    int x = 0;
    int y = int(std::floor(j * sy)) + offset;
    source.CorrectBorders(x, y);
    index[size_t(j)] = y;
  }
  return index;
}

// Resamples one line of n samples (stride apart) onto m samples with a natural cubic spline
// through corner-aligned grids. A line of one source or one result sample takes the nearest
// source sample, the first one (the grid positions i / (n - 1) do not exist there).
class cSplineLine {
public:
  cSplineLine(int n, int m) : N(n), M(m)
  {
    if (N >= 2) {
      Nodes.setlength(N);
      Values.setlength(N);
      for (int i = 0; i < N; ++i) Nodes[i] = double(i) / double(N - 1);
    }
    if (M >= 2) {
      Positions.setlength(M);
      Resampled.setlength(M);
      for (int r = 0; r < M; ++r) Positions[r] = double(r) / double(M - 1);
    }
  }

  void Resample(const double* in, size_t inStride, double* out, size_t outStride)
  {
    if (N < 2 || M < 2) {
      for (int r = 0; r < M; ++r) out[size_t(r) * outStride] = in[0];
      return;
    }
    for (int i = 0; i < N; ++i) Values[i] = in[size_t(i) * inStride];
    // Second derivative 0 at both ends: the natural spline, built and evaluated at the ordered
    // result positions in one pass rather than by a search per position.
    alglib::spline1dconvcubic(Nodes, Values, N, 2, 0.0, 2, 0.0, Positions, M, Resampled);
    for (int r = 0; r < M; ++r) out[size_t(r) * outStride] = Resampled[r];
  }

private:
  int N;
  int M;
  alglib::real_1d_array Nodes;
  alglib::real_1d_array Values;
  alglib::real_1d_array Positions;
  alglib::real_1d_array Resampled;
};

// Overshoot near sharp edges is limited to the 8-bit range rather than wrapped.
uint8_t ToSample(double v)
{
  const double t = std::trunc(v);
  if (!(t > 0.0)) return 0;
  if (t >= 255.0) return 255;
  return uint8_t(t);
}

}  // namespace

cResampleOperation::cResampleOperation()
{
  Name = "Resample";
  OperationType = otBuiltIn;
  FormMode = 2;
  TotalVariation = true;

  sParameterInfo info;
  info.theParameterType = ptInteger;
  info.MinBound = 0;
  info.MaxBound = 10000;
  info.DefaultValue = 1000;
  info.ParameterName = "NewWidth";
  Params->AddNewParam(info);
  info.ParameterName = "NewHeight";
  Params->AddNewParam(info);

  sParameterInfo choice;
  choice.theParameterType = ptEnumerated;
  choice.ParameterName = "ResampleType";
  choice.AddEnumString("NearestNeighbor");
  choice.AddEnumString("Bilinear");
  choice.AddEnumString("Bicubic");
  choice.MinBound = 0;
  choice.MaxBound = 3;
  choice.DefaultValue = 0;
  Params->AddNewParam(choice);
}

void cResampleOperation::OperationItself(const tTerminateFlag& terminated)
{
  Width = SourceSurface->GetWidth();
  Height = SourceSurface->GetHeight();
  Channels = SourceSurface->GetChannelsCount();
  NewWidth = std::max(0, Params->GetParam(0)->GetInteger());
  NewHeight = std::max(0, Params->GetParam(1)->GetInteger());
  const int method = Params->GetParam(2)->GetEnumSelectedIndex();

  ResultSurface->SetSize(NewWidth, NewHeight, Channels);
  // An empty result has nothing to compute; an empty source has nothing to read, which leaves
  // the zeroed result.
  if (NewWidth == 0 || NewHeight == 0 || Width == 0 || Height == 0) return;

  switch (method) {
    case rtBilinear:
      Bilinear(terminated);
      break;
    case rtBicubic:
      Bicubic(terminated);
      break;
    default:
      NearestNeighbor(terminated);
      break;
  }
}

void cResampleOperation::NearestNeighbor(const tTerminateFlag& terminated)
{
  const std::vector<int> columns = NearestColumns(*SourceSurface, NewWidth, 0);
  const std::vector<int> rows = NearestRows(*SourceSurface, NewHeight, 0);
  const size_t ch = size_t(Channels);
  for (int j = 0; j < NewHeight && !terminated.load(std::memory_order_relaxed); ++j) {
    const uint8_t* src = SourceSurface->Row(rows[size_t(j)]);
    uint8_t* dst = ResultSurface->Row(j);
    for (int k = 0; k < NewWidth; ++k)
      for (size_t c = 0; c < ch; ++c) dst[size_t(k) * ch + c] = src[size_t(columns[size_t(k)]) * ch + c];
    OperationProgress(unsigned(j) * 99u / unsigned(NewHeight));
  }
}

void cResampleOperation::Bilinear(const tTerminateFlag& terminated)
{
  const std::vector<int> x0 = NearestColumns(*SourceSurface, NewWidth, 0);
  const std::vector<int> x1 = NearestColumns(*SourceSurface, NewWidth, 1);
  const std::vector<int> y0 = NearestRows(*SourceSurface, NewHeight, 0);
  const std::vector<int> y1 = NearestRows(*SourceSurface, NewHeight, 1);
  const size_t ch = size_t(Channels);
  for (int j = 0; j < NewHeight && !terminated.load(std::memory_order_relaxed); ++j) {
    const uint8_t* top = SourceSurface->Row(y0[size_t(j)]);
    const uint8_t* bottom = SourceSurface->Row(y1[size_t(j)]);
    uint8_t* dst = ResultSurface->Row(j);
    for (int k = 0; k < NewWidth; ++k) {
      const size_t a = size_t(x0[size_t(k)]) * ch;
      const size_t b = size_t(x1[size_t(k)]) * ch;
      for (size_t c = 0; c < ch; ++c) {
        // floor(((p00 + p10) / 2 + (p01 + p11) / 2) / 2 + 0.5) in integers.
        const unsigned sum = unsigned(top[a + c]) + top[b + c] + bottom[a + c] + bottom[b + c];
        dst[size_t(k) * ch + c] = uint8_t((sum + 2) / 4);
      }
    }
    OperationProgress(unsigned(j) * 99u / unsigned(NewHeight));
  }
}

void cResampleOperation::Bicubic(const tTerminateFlag& terminated)
{
  const size_t w = size_t(Width);
  const size_t h = size_t(Height);
  const size_t newW = size_t(NewWidth);
  const size_t newH = size_t(NewHeight);
  // One plane at a time: the source as doubles, then W columns x H' rows, then the result rows.
  std::vector<double> plane(w * h);
  std::vector<double> middle(w * newH);
  std::vector<double> line(newW);
  cSplineLine columnSpline(Height, NewHeight);
  cSplineLine rowSpline(Width, NewWidth);
  const unsigned steps = unsigned(Channels) * unsigned(Width + NewHeight);
  unsigned done = 0;

  for (int c = 0; c < Channels; ++c) {
    for (size_t y = 0; y < h; ++y) {
      const uint8_t* src = SourceSurface->Row(int(y));
      for (size_t x = 0; x < w; ++x) plane[y * w + x] = src[x * size_t(Channels) + size_t(c)];
    }
    for (size_t x = 0; x < w; ++x) {
      if (terminated.load(std::memory_order_relaxed)) return;
      columnSpline.Resample(&plane[x], w, &middle[x], w);
      OperationProgress(done++ * 99u / steps);
    }
    for (size_t r = 0; r < newH; ++r) {
      if (terminated.load(std::memory_order_relaxed)) return;
      rowSpline.Resample(&middle[r * w], 1, line.data(), 1);
      uint8_t* dst = ResultSurface->Row(int(r));
      for (size_t k = 0; k < newW; ++k) dst[k * size_t(Channels) + size_t(c)] = ToSample(line[k]);
      OperationProgress(done++ * 99u / steps);
    }
  }
}
