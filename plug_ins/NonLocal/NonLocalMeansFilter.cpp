#include "NonLocalMeansFilter.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "kvRuntime/kvDiagnostics.h"
#include "kvRuntime/cWorkerPool.h"

KV_UNIT("060pkNonLocal\\NonLocalMeansFilter");

namespace {

// exp(-t) comes from 2^-x = 2^-i x 2^-f (x = t log2 e, i its whole part) with a polynomial
// for 2^-f (relative error below 5e-7), four weights at a time: the exponential function of
// the library would cost more than all the rest of the work. From t = 30 on (e^-30 is 1e-13)
// the weight is 0.
using tFloats = float __attribute__((vector_size(16)));
using tInts = int32_t __attribute__((vector_size(16)));
constexpr int Lanes = 4;
constexpr float Log2E = 1.44269504f;
constexpr float CutOff = 30.0f * Log2E;

// Picture rows filtered together: each block compares its rows with all offsets before it
// writes them, so a stop leaves whole blocks filtered and the rest untouched.
constexpr int BlockRows = 64;

uint8_t RoundedMean(float weighted, float weights, uint8_t own)
{
  if (!(weights > 0)) return own;
  return uint8_t(std::clamp(std::floor(weighted / weights + 0.5f), 0.0f, 255.0f));
}

}  // namespace

NonLocalMeansFilter::NonLocalMeansFilter()
{
  Describe("Non-Local Means", "Non-local Filters", otFilter, fmParamDialog);
  SigmaParam = Params->AddReal("Sigma", 0, 100, 20, 1);
  PatchParam = Params->AddInteger("Patch radius", 1, 5, 3);
  SearchParam = Params->AddInteger("Search radius", 1, 17, 10);
  StrengthParam = Params->AddReal("Strength", 0.05, 2, 0.4, 2);
}

const uint8_t* NonLocalMeansFilter::sPadded::At(int x, int y) const
{
  return Samples.data() + size_t(y - Top) * size_t(Stride) + size_t(x - Left) * size_t(Channels);
}

void NonLocalMeansFilter::Prepare(int channels)
{
  Channels = channels;
  const double sigma = (*Params)[SigmaParam].GetReal();
  const double h = (*Params)[StrengthParam].GetReal() * sigma;
  PatchRadius = (*Params)[PatchParam].GetInteger();
  SearchRadius = (*Params)[SearchParam].GetInteger();
  HalfOffsets.clear();
  for (int dy = 0; dy <= SearchRadius; ++dy)
    for (int dx = -SearchRadius; dx <= SearchRadius; ++dx)
      if (dy > 0 || dx > 0) HalfOffsets.push_back({dx, dy});
  const int side = 2 * PatchRadius + 1;
  const double samples = double(side) * side * channels;
  NoiseSum = float(2.0 * sigma * sigma * samples);
  // Without h only distances within the noise count: any excess then lands beyond the cut-off.
  Scale = h > 0 ? float(Log2E / (h * h * samples)) : 1e30f;
}

namespace {

tFloats WeightLanes(tInts sums, float noise, float scale)
{
  const tFloats zero = {}, cutOff = zero + CutOff;
  tFloats x = __builtin_convertvector(sums, tFloats) - noise;
  x = x > zero ? x : zero;
  x = x * scale;
  x = x < cutOff ? x : cutOff;
  const tInts i = __builtin_convertvector(x, tInts);
  const tFloats f = x - __builtin_convertvector(i, tFloats);
  const tFloats p =
      0.999999879f +
      f * (-0.693142029f + f * (0.240174326f + f * (-0.0552913406f + f * (0.00920623981f + f * -0.000947189706f))));
  const tFloats w = reinterpret_cast<tFloats>(reinterpret_cast<tInts>(p) - (i << 23));
  return x < cutOff ? w : zero;
}

}  // namespace

float NonLocalMeansFilter::Weight(int32_t sum) const
{
  const tInts sums = {sum, sum, sum, sum};
  return WeightLanes(sums, NoiseSum, Scale)[0];
}

void NonLocalMeansFilter::Weights(const int32_t* sums, float* weights, int count) const
{
  int i = 0;
  for (; i + Lanes <= count; i += Lanes) {
    tInts in;
    std::memcpy(&in, sums + i, sizeof in);
    const tFloats out = WeightLanes(in, NoiseSum, Scale);
    std::memcpy(weights + i, &out, sizeof out);
  }
  for (; i < count; ++i) weights[i] = Weight(sums[i]);
}

void NonLocalMeansFilter::OperationItself(const tTerminateFlag& terminated)
{
  if (SourceSurface->GetHeight() != ResultSurface->GetHeight() ||
      SourceSurface->GetWidth() != ResultSurface->GetWidth() ||
      SourceSurface->GetChannelsCount() != ResultSurface->GetChannelsCount()) {
    OperationTerminated();
    return;
  }
  Prepare(SourceSurface->GetChannelsCount());
  const bool plain = PixelReferenceRequested() || !RegionInsideSurface();
  NoteRanByRows(!plain);
  if (FirstRow >= EndRow || FirstColumn >= EndColumn) return;
  if (plain)
    RunPlain(terminated);
  else
    RunFast(terminated);
}

void NonLocalMeansFilter::RunPlain(const tTerminateFlag& terminated)
{
  const cBMPSurface& in = *SourceSurface;
  const int width = in.GetWidth(), height = in.GetHeight();
  const int r = PatchRadius, m = SearchRadius + PatchRadius;
  // Every read through the border rule, as the surface's own pixel access does: the rows and
  // columns m or fewer away from the pixel, folded once per pixel.
  std::vector<const uint8_t*> rows(size_t(2 * m + 1));
  std::vector<int> columns(size_t(2 * m + 1));
  for (unsigned uy = FirstRow; uy < EndRow && !terminated.load(std::memory_order_relaxed); ++uy) {
    const int y = int(uy);
    for (int k = -m; k <= m; ++k) rows[size_t(k + m)] = in.Row(kvFoldIndex(y + k, height));
    for (unsigned ux = FirstColumn; ux < EndColumn; ++ux) {
      const int x = int(ux);
      for (int k = -m; k <= m; ++k) columns[size_t(k + m)] = kvFoldIndex(x + k, width) * Channels;
      // Sample c of the pixel dx, dy away.
      auto sample = [&](int dx, int dy, int c) { return int(rows[size_t(dy + m)][columns[size_t(dx + m)] + c]); };
      float weighted[3] = {0, 0, 0};
      float weights = 0, largest = 0;
      for (const sOffset& o : HalfOffsets)
        for (int sign : {-1, 1}) {
          const int qx = sign * o.Dx, qy = sign * o.Dy;
          int32_t sum = 0;
          for (int ky = -r; ky <= r; ++ky)
            for (int kx = -r; kx <= r; ++kx)
              for (int c = 0; c < Channels; ++c) {
                const int d = sample(kx, ky, c) - sample(qx + kx, qy + ky, c);
                sum += d * d;
              }
          const float w = Weight(sum);
          for (int c = 0; c < Channels; ++c) weighted[c] += w * float(sample(qx, qy, c));
          weights += w;
          largest = std::max(largest, w);
        }
      for (int c = 0; c < Channels; ++c) {
        const uint8_t own = uint8_t(sample(0, 0, c));
        ResultSurface->CurrentChannel = c;
        ResultSurface->SetPixel(x, y, RoundedMean(weighted[c] + largest * float(own), weights + largest, own));
      }
    }
    OperationProgress((uy - FirstRow) * WorkProgress / (EndRow - FirstRow));
  }
}

void NonLocalMeansFilter::RunFast(const tTerminateFlag& terminated)
{
  // Every sample any patch of the region reaches, laid out once, so the loops below have no
  // border test.
  const int margin = SearchRadius + PatchRadius;
  const int width = SourceSurface->GetWidth(), height = SourceSurface->GetHeight();
  sPadded padded;
  padded.Channels = Channels;
  padded.Left = int(FirstColumn) - margin;
  padded.Top = int(FirstRow) - margin;
  const int columns = int(EndColumn - FirstColumn) + 2 * margin;
  const int rows = int(EndRow - FirstRow) + 2 * margin;
  padded.Stride = columns * Channels;
  padded.Samples.resize(size_t(rows) * size_t(padded.Stride));
  for (int i = 0; i < rows; ++i) {
    const uint8_t* from = SourceSurface->Row(kvFoldIndex(padded.Top + i, height));
    uint8_t* to = padded.Samples.data() + size_t(i) * size_t(padded.Stride);
    for (int j = 0; j < columns; ++j) {
      const uint8_t* sample = from + kvFoldIndex(padded.Left + j, width) * Channels;
      for (int c = 0; c < Channels; ++c) to[j * Channels + c] = sample[c];
    }
  }
  const int blocks = (int(EndRow - FirstRow) + BlockRows - 1) / BlockRows;
  const uint64_t total = uint64_t(blocks) * HalfOffsets.size();
  std::atomic<uint64_t> done{0};
  auto offsetDone = [&] {
    const uint64_t units = done.fetch_add(1, std::memory_order_relaxed) + 1;
    OperationProgress(unsigned(units * WorkProgress / total));
  };
  kvParallelFor(0, blocks, [&](int first, int end) {
    for (int b = first; b < end; ++b) {
      const int y0 = int(FirstRow) + b * BlockRows;
      if (!FilterBlock(padded, y0, std::min(y0 + BlockRows, int(EndRow)), terminated, offsetDone)) return;
    }
  });
}

namespace {

// Squared differences between the count samples at a and those at b (channels interleaved,
// summed over them): into slot, and their change from what slot held into the column sums.
void RowDifferences(const uint8_t* __restrict a, const uint8_t* __restrict b, int count, int channels,
                    int32_t* __restrict columnSums, int32_t* __restrict slot)
{
  if (channels == 1) {
    for (int j = 0; j < count; ++j) {
      const int32_t d = int32_t(a[j]) - int32_t(b[j]);
      columnSums[j] += d * d - slot[j];
      slot[j] = d * d;
    }
  } else {
    for (int j = 0; j < count; ++j) {
      int32_t s = 0;
      for (int c = 0; c < channels; ++c) {
        const int32_t d = int32_t(a[j * channels + c]) - int32_t(b[j * channels + c]);
        s += d * d;
      }
      columnSums[j] += s - slot[j];
      slot[j] = s;
    }
  }
}

// The sums of side neighbouring column sums, for span patches side by side.
void PatchSums(const int32_t* columnSums, int side, int span, int32_t* sums)
{
  int32_t s = 0;
  for (int j = 0; j < side; ++j) s += columnSums[j];
  sums[0] = s;
  for (int i = 1; i < span; ++i) {
    s += columnSums[i + side - 1] - columnSums[i - 1];
    sums[i] = s;
  }
}

// Adds the weights wt of n pixels, with the samples v, to a block row's sums: the weights',
// the largest weight and the weighted samples.
void Accumulate(const float* __restrict wt, const uint8_t* __restrict v, int n, int channels, float* __restrict sumW,
                float* __restrict top, float* __restrict acc)
{
  for (int j = 0; j < n; ++j) {
    sumW[j] += wt[j];
    top[j] = std::max(top[j], wt[j]);
  }
  if (channels == 1)
    for (int j = 0; j < n; ++j) acc[j] += wt[j] * float(v[j]);
  else
    for (int j = 0; j < n; ++j)
      for (int c = 0; c < channels; ++c) acc[j * channels + c] += wt[j] * float(v[j * channels + c]);
}

}  // namespace

bool NonLocalMeansFilter::FilterBlock(const sPadded& padded, int firstRow, int endRow, const tTerminateFlag& terminated,
                                      const std::function<void()>& offsetDone)
{
  const int x0 = int(FirstColumn), x1 = int(EndColumn);
  const int n = x1 - x0, blockRows = endRow - firstRow;
  const int C = Channels, r = PatchRadius, side = 2 * r + 1;
  std::vector<float> weighted(size_t(blockRows) * size_t(n) * size_t(C), 0.0f);
  std::vector<float> weights(size_t(blockRows) * size_t(n), 0.0f);
  std::vector<float> largest(size_t(blockRows) * size_t(n), 0.0f);
  const int widest = n + SearchRadius + 2 * r;
  const size_t room = size_t(widest);
  std::vector<int32_t> columnSums(room), sums(room);
  // The squared differences of the patch's rows, kept so that each row is computed once.
  std::vector<int32_t> ring(room * size_t(side));
  std::vector<float> w(room);

  for (const sOffset& o : HalfOffsets) {
    if (terminated.load(std::memory_order_relaxed)) return false;
    // Pixels p whose pair (p, p + o) gives a term to a pixel of the block: p itself in the
    // block, or p + o in it.
    const int cx0 = x0 - std::max(o.Dx, 0);
    const int span = n + std::abs(o.Dx);
    const int count = span + 2 * r;  // column sums from column cx0 - r on
    // Row y against the row o further on.
    auto differences = [&](int y, int32_t* slot) {
      RowDifferences(padded.At(cx0 - r, y), padded.At(cx0 - r + o.Dx, y + o.Dy), count, C, columnSums.data(), slot);
    };
    auto slot = [&](int k) { return ring.data() + size_t(k % side) * room; };
    const int py0 = firstRow - o.Dy;
    std::fill(columnSums.begin(), columnSums.begin() + count, 0);
    std::fill(ring.begin(), ring.end(), 0);
    for (int k = 0; k < side; ++k) differences(py0 - r + k, slot(k));
    for (int py = py0; py < endRow; ++py) {
      // Row py + r takes the place of row py - r - 1.
      if (py > py0) differences(py + r, slot(py - py0 - 1));
      PatchSums(columnSums.data(), side, span, sums.data());
      Weights(sums.data(), w.data(), span);
      // Adds the weights from index first of w, with the samples at (fromX, fromY), to block
      // row row.
      auto accumulate = [&](int row, int first, int fromX, int fromY) {
        const size_t at = size_t(row) * size_t(n);
        Accumulate(w.data() + first, padded.At(fromX, fromY), n, C, weights.data() + at, largest.data() + at,
                   weighted.data() + at * size_t(C));
      };
      // The term of p to p + o first, then that of p + o to p: each pixel then takes its two
      // terms of an offset in the reference's order.
      const int qy = py + o.Dy;
      if (qy < endRow) accumulate(qy - firstRow, std::max(0, -o.Dx), x0 - o.Dx, py);
      if (py >= firstRow) accumulate(py - firstRow, std::max(0, o.Dx), x0 + o.Dx, py + o.Dy);
    }
    offsetDone();
  }
  for (int y = firstRow; y < endRow; ++y) {
    const size_t row = size_t(y - firstRow) * size_t(n);
    const uint8_t* own = padded.At(x0, y);
    uint8_t* out = ResultSurface->Row(y) + size_t(x0) * size_t(C);
    for (int j = 0; j < n; ++j)
      for (int c = 0; c < C; ++c) {
        const uint8_t v = own[j * C + c];
        out[j * C + c] =
            RoundedMean(weighted[(row + size_t(j)) * size_t(C) + size_t(c)] + largest[row + size_t(j)] * float(v),
                        weights[row + size_t(j)] + largest[row + size_t(j)], v);
      }
  }
  return true;
}
