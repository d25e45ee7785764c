#include "kvOperations/cResampleOperation.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>
#include "kvRuntime/kvVectorClones.h"

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

// Lines are resampled side by side, Lanes of them at a time: sample i of every line sits in
// row i of a Lanes-wide block, so each step of the spline's recurrences is one short loop over
// the lanes that the compiler vectorises.
constexpr size_t Lanes = 16;

// Everything a natural cubic spline through n samples at i / (n - 1), evaluated at the m
// positions r / (m - 1), needs that does not depend on the samples: the tridiagonal system of
// the slopes with its elimination done once, and each position's interval and offset. The
// arithmetic repeats the one-line construction (ALGLIB's spline1dconvcubic with second
// derivative 0 at both ends) operation for operation, so every value is the same to the bit.
struct sSplinePlan {
  sSplinePlan(int n, int m);

  // A line of one source or one result sample takes the nearest source sample, the first
  // one (the grid positions i / (n - 1) do not exist there).
  bool Degenerate() const { return N < 2 || M < 2; }

  int N;
  int M;
  std::vector<double> Step;   // node i + 1 - node i
  std::vector<double> Step2;  // its square and cube, the evaluation's divisors
  std::vector<double> Step3;
  std::vector<double> Factor;  // elimination factor of row k, k >= 1
  std::vector<double> Pivot;   // diagonal after elimination
  std::vector<double> Upper;   // super-diagonal
  double LeftEnd = 0.0;        // the zero end derivatives' terms of the first and last rows
  double RightEnd = 0.0;
  std::vector<int> Interval;   // interval of position r
  std::vector<double> Offset;  // position r - first node of its interval
};

sSplinePlan::sSplinePlan(int n, int m) : N(n), M(m)
{
  if (Degenerate()) return;
  const size_t count = size_t(N);
  std::vector<double> node(count);
  for (size_t i = 0; i < count; ++i) node[i] = double(i) / double(N - 1);
  Step.resize(count - 1);
  Step2.resize(count - 1);
  Step3.resize(count - 1);
  for (size_t i = 0; i + 1 < count; ++i) {
    Step[i] = node[i + 1] - node[i];
    Step2[i] = Step[i] * Step[i];
    Step3[i] = Step[i] * Step2[i];
  }
  // Rows 0 and n - 1 hold the natural end conditions, the rows between the continuity of the
  // second derivative.
  std::vector<double> lower(count), diagonal(count);
  Upper.resize(count);
  lower[0] = 0;
  diagonal[0] = 2;
  Upper[0] = 1;
  for (size_t i = 1; i + 1 < count; ++i) {
    lower[i] = node[i + 1] - node[i];
    diagonal[i] = 2 * (node[i + 1] - node[i - 1]);
    Upper[i] = node[i] - node[i - 1];
  }
  lower[count - 1] = 1;
  diagonal[count - 1] = 2;
  Upper[count - 1] = 0;
  const double endDerivative = 0.0;
  LeftEnd = 0.5 * endDerivative * (node[1] - node[0]);
  RightEnd = 0.5 * endDerivative * (node[count - 1] - node[count - 2]);

  Factor.assign(count, 0.0);
  Pivot = diagonal;
  for (size_t k = 1; k < count; ++k) {
    Factor[k] = lower[k] / Pivot[k - 1];
    Pivot[k] = Pivot[k] - Factor[k] * Upper[k - 1];
  }

  // A position belongs to the first interval whose right node lies beyond it, the last
  // interval taking everything from its left node on.
  Interval.resize(size_t(M));
  Offset.resize(size_t(M));
  int interval = 0;
  for (int r = 0; r < M; ++r) {
    const double t = double(r) / double(M - 1);
    while (interval < N - 2 && t >= node[size_t(interval) + 1]) ++interval;
    Interval[size_t(r)] = interval;
    Offset[size_t(r)] = t - node[size_t(interval)];
  }
}

// Four lanes at a time, in the machine's vectors (two halves where they are narrower).
typedef double tQuad __attribute__((vector_size(4 * sizeof(double)), aligned(alignof(double))));
constexpr size_t Quads = Lanes / 4;

// Vectors go in and out through references: passing or returning a vector wider than the
// baseline's registers would change the calling convention between the instruction sets.
[[gnu::always_inline]] inline void Load(tQuad& v, const double* p)
{
  std::memcpy(&v, p, sizeof v);
}
[[gnu::always_inline]] inline void Store(double* p, const tQuad& v)
{
  std::memcpy(p, &v, sizeof v);
}

// Resamples a block of Lanes lines: in holds N rows of Lanes samples, slopes is scratch of
// the same size, out receives M rows of Lanes values. Divisions stay divisions (a product by
// a reciprocal rounds differently). Inlined into each pass so it is compiled for the
// instruction set the pass is cloned for.
[[gnu::always_inline]] inline void ResampleBlock(const sSplinePlan& plan, const double* in, double* slopes, double* out)
{
  const size_t n = size_t(plan.N);
  if (plan.Degenerate()) {
    for (size_t r = 0; r < size_t(plan.M); ++r) std::memcpy(out + r * Lanes, in, Lanes * sizeof(double));
    return;
  }
  // Right-hand sides and forward elimination in one sweep; the divided difference of interval
  // i serves rows i and i + 1.
  tQuad previous[Quads];
  for (size_t q = 0; q < Quads; ++q) {
    tQuad y0, y1;
    Load(y0, in + 4 * q);
    Load(y1, in + Lanes + 4 * q);
    previous[q] = 3.0 * (y1 - y0) / plan.Step[0];
    Store(slopes + 4 * q, previous[q] - plan.LeftEnd);
  }
  for (size_t i = 1; i + 1 < n; ++i) {
    const double left = plan.Step[i - 1];
    const double right = plan.Step[i];
    const double factor = plan.Factor[i];
    const double* y = in + i * Lanes;
    double* d = slopes + i * Lanes;
    for (size_t q = 0; q < Quads; ++q) {
      tQuad y0, y1, above;
      Load(y0, y + 4 * q);
      Load(y1, y + Lanes + 4 * q);
      Load(above, d - Lanes + 4 * q);
      const tQuad next = 3.0 * (y1 - y0) / right;
      const tQuad rhs = previous[q] * right + next * left;
      Store(d + 4 * q, rhs - factor * above);
      previous[q] = next;
    }
  }
  {
    const double factor = plan.Factor[n - 1];
    double* d = slopes + (n - 1) * Lanes;
    for (size_t q = 0; q < Quads; ++q) {
      tQuad above;
      Load(above, d - Lanes + 4 * q);
      const tQuad rhs = previous[q] + plan.RightEnd;
      Store(d + 4 * q, (rhs - factor * above) / plan.Pivot[n - 1]);
    }
  }
  // Back substitution (the last row was divided by its pivot above).
  for (size_t k = n - 1; k-- > 0;) {
    const double upper = plan.Upper[k];
    double* d = slopes + k * Lanes;
    for (size_t q = 0; q < Quads; ++q) {
      tQuad v, below;
      Load(v, d + 4 * q);
      Load(below, d + Lanes + 4 * q);
      Store(d + 4 * q, (v - upper * below) / plan.Pivot[k]);
    }
  }
  // Hermite form of each interval, evaluated in powers of the offset.
  for (size_t r = 0; r < size_t(plan.M); ++r) {
    const size_t j = size_t(plan.Interval[r]);
    const double t = plan.Offset[r];
    const double w = plan.Step[j];
    const double* ya = in + j * Lanes;
    const double* da = slopes + j * Lanes;
    double* o = out + r * Lanes;
    for (size_t q = 0; q < Quads; ++q) {
      tQuad fa, fb, c1, db;
      Load(fa, ya + 4 * q);
      Load(fb, ya + Lanes + 4 * q);
      Load(c1, da + 4 * q);
      Load(db, da + Lanes + 4 * q);
      const tQuad c2 = (3.0 * (fb - fa) - 2.0 * c1 * w - db * w) / plan.Step2[j];
      const tQuad c3 = (2.0 * (fa - fb) + c1 * w + db * w) / plan.Step3[j];
      Store(o + 4 * q, fa + t * (c1 + t * (c2 + t * c3)));
    }
  }
}

// Both passes are compiled twice, for AVX2 and for the baseline, and the loader picks the
// one the processor runs: the spline's divisions are twice as wide with AVX2. Fused
// multiply-adds are never formed (see the build file), so both give the same bits.

// The work buffers of one channel's two passes.
struct sBicubicBuffers {
  double* In;      // source rows x Lanes
  double* Slopes;  // max(source side) x Lanes
  double* Out;     // max(result side) x Lanes
  double* Middle;  // intermediate plane, blocks of Lanes rows: [block][x][lane]
};

// Columns x0 .. x0 + lanes of channel c resampled to H' rows, stored into the intermediate
// plane turned by a quarter so the row pass reads its lanes side by side.
KV_VECTOR_CLONES
void ColumnPass(const sSplinePlan& plan, const cBMPSurface& source, size_t c, size_t x0, size_t lanes,
                const sBicubicBuffers& b)
{
  const size_t h = size_t(plan.N);
  const size_t newH = size_t(plan.M);
  const size_t w = size_t(source.GetWidth());
  const size_t ch = size_t(source.GetChannelsCount());
  // Unused lanes compute on zeros and are dropped.
  if (lanes < Lanes) std::fill_n(b.In, h * Lanes, 0.0);
  // The block's samples lie a picture row apart: the rows a few steps ahead are fetched
  // while the current one is converted.
  constexpr size_t ahead = 8;
  for (size_t y = 0; y < h; ++y) {
    if (y + ahead < h) __builtin_prefetch(source.Row(int(y + ahead)) + x0 * ch);
    const uint8_t* src = source.Row(int(y)) + x0 * ch + c;
    double* row = b.In + y * Lanes;
    if (lanes == Lanes && ch == 1) {
      for (size_t q = 0; q < Quads; ++q) {
        typedef uint8_t tBytes __attribute__((vector_size(4)));
        tBytes bytes;
        std::memcpy(&bytes, src + 4 * q, sizeof bytes);
        Store(row + 4 * q, __builtin_convertvector(bytes, tQuad));
      }
    } else {
      for (size_t s = 0; s < lanes; ++s) row[s] = src[s * ch];
    }
  }
  ResampleBlock(plan, b.In, b.Slopes, b.Out);
  for (size_t r0 = 0; r0 < newH; r0 += Lanes) {
    const double* from = b.Out + r0 * Lanes;
    double* to = b.Middle + ((r0 / Lanes) * w + x0) * Lanes;
    const size_t rows = std::min(Lanes, newH - r0);
    if (rows == Lanes && lanes == Lanes) {
      for (size_t s = 0; s < Lanes; ++s)
        for (size_t r = 0; r < Lanes; ++r) to[s * Lanes + r] = from[r * Lanes + s];
    } else {
      for (size_t s = 0; s < lanes; ++s)
        for (size_t r = 0; r < rows; ++r) to[s * Lanes + r] = from[r * Lanes + s];
    }
  }
}

// Intermediate rows r0 .. r0 + lanes resampled to W' samples into channel c of the result,
// truncated toward zero and limited to 0 .. 255 (NaN gives 0).
KV_VECTOR_CLONES
void RowPass(const sSplinePlan& plan, cBMPSurface& result, size_t c, size_t r0, size_t lanes, const sBicubicBuffers& b)
{
  const size_t w = size_t(plan.N);
  const size_t newW = size_t(plan.M);
  const size_t ch = size_t(result.GetChannelsCount());
  ResampleBlock(plan, b.Middle + (r0 / Lanes) * w * Lanes, b.Slopes, b.Out);
  uint8_t* rows[Lanes];
  for (size_t s = 0; s < lanes; ++s) rows[s] = result.Row(int(r0 + s)) + c;
  for (size_t k = 0; k < newW; ++k) {
    const double* v = b.Out + k * Lanes;
    uint8_t samples[Lanes];
    for (size_t s = 0; s < Lanes; ++s) {
      const double limited = v[s] >= 1.0 ? (v[s] < 255.0 ? v[s] : 255.0) : 0.0;
      samples[s] = uint8_t(int(limited));
    }
    for (size_t s = 0; s < lanes; ++s) rows[s][k * ch] = samples[s];
  }
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
    case rtBilinear: Bilinear(terminated); break;
    case rtBicubic: Bicubic(terminated); break;
    default: NearestNeighbor(terminated); break;
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
    OperationProgress(unsigned(j) * WorkProgress / unsigned(NewHeight));
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
    OperationProgress(unsigned(j) * WorkProgress / unsigned(NewHeight));
  }
}

void cResampleOperation::Bicubic(const tTerminateFlag& terminated)
{
  const size_t w = size_t(Width);
  const size_t h = size_t(Height);
  const size_t newW = size_t(NewWidth);
  const size_t newH = size_t(NewHeight);
  const size_t ch = size_t(Channels);
  const sSplinePlan columnPlan(Height, NewHeight);
  const sSplinePlan rowPlan(Width, NewWidth);
  const size_t columnBlocks = (w + Lanes - 1) / Lanes;
  const size_t rowBlocks = (newH + Lanes - 1) / Lanes;
  // One channel at a time: the source columns are resampled to H' values each, then the H'
  // intermediate rows along their W samples. The intermediate plane is kept as the second
  // pass reads it: Lanes rows at a time, sample x of those rows side by side. Only the lanes
  // past H' are zeroed (they are computed and dropped); the passes write everything else.
  std::unique_ptr<double[]> middle(new double[rowBlocks * w * Lanes]);
  if (newH % Lanes) std::fill_n(&middle[(rowBlocks - 1) * w * Lanes], w * Lanes, 0.0);
  std::vector<double> in(h * Lanes);
  std::vector<double> slopes(std::max(h, w) * Lanes);
  std::vector<double> out(std::max(newH, newW) * Lanes);
  const unsigned steps = unsigned(ch * (columnBlocks + rowBlocks));
  unsigned done = 0;

  const sBicubicBuffers buffers{in.data(), slopes.data(), out.data(), middle.get()};
  for (size_t c = 0; c < ch; ++c) {
    for (size_t x0 = 0; x0 < w; x0 += Lanes) {
      if (terminated.load(std::memory_order_relaxed)) return;
      ColumnPass(columnPlan, *SourceSurface, c, x0, std::min(Lanes, w - x0), buffers);
      OperationProgress(done++ * WorkProgress / steps);
    }
    for (size_t r0 = 0; r0 < newH; r0 += Lanes) {
      if (terminated.load(std::memory_order_relaxed)) return;
      RowPass(rowPlan, *ResultSurface, c, r0, std::min(Lanes, newH - r0), buffers);
      OperationProgress(done++ * WorkProgress / steps);
    }
  }
}
