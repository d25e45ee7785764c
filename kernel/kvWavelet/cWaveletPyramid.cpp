#include "kvWavelet/cWaveletPyramid.h"

#include <algorithm>

#include "kvRuntime/cWorkerPool.h"

namespace {

// Index i of the symmetrically extended line of n samples, folded back into 0 .. n - 1.
inline int Fold(int i, int n)
{
  const int period = 2 * n;
  int m = i % period;
  if (m < 0) m += period;
  return m < n ? m : period - 1 - m;
}

// Rows in bands on the worker pool; a band too small to be worth a thread stays here.
void ForRows(int count, int samplesPerRow, const std::function<void(int first, int end)>& rows)
{
  if (int64_t(count) * samplesPerRow < 65536)
    rows(0, count);
  else
    kvParallelFor(0, count, rows);
}

// out[k] = sum_j f[j] * line[Fold(2k + j - (L - 2))], k = 0 .. m - 1: the analysis of one line
// (f reversed), reading the extended samples from a copy of the line.
void AnalyseLine(const double* line, int n, const std::vector<double>& lowTaps, const std::vector<double>& highTaps,
                 std::vector<double>& extended, double* low, double* high, int m)
{
  const int length = int(lowTaps.size());
  const int needed = 2 * m + length;
  extended.resize(size_t(needed));
  for (int t = 0; t < needed; ++t) extended[size_t(t)] = line[Fold(t - (length - 2), n)];
  for (int k = 0; k < m; ++k) {
    const double* e = extended.data() + 2 * k;
    double sl = 0.0, sh = 0.0;
    for (int j = 0; j < length; ++j) {
      sl += lowTaps[size_t(j)] * e[j];
      sh += highTaps[size_t(j)] * e[j];
    }
    low[k] = sl;
    high[k] = sh;
  }
}

// The first coefficient that reaches sample i and one past the last: 2k + 1 - i in 0 .. L - 1.
inline void Reach(int i, int length, int m, int& first, int& end)
{
  first = std::max(0, i / 2);  // ceil((i - 1) / 2) for i >= 0
  end = std::min(m, (i + length - 2) / 2 + 1);
}

}  // namespace

cWaveletPyramid::cWaveletPyramid(const cWavelet& wavelet)
    : Low(wavelet.DecompositionLow.rbegin(), wavelet.DecompositionLow.rend()),
      High(wavelet.DecompositionHigh.rbegin(), wavelet.DecompositionHigh.rend()),
      SynthesisLow(wavelet.DecompositionLow),
      SynthesisHigh(wavelet.DecompositionHigh)
{}

void cWaveletPyramid::Decompose(const double* plane, int width, int height, int levels)
{
  Sizes.clear();
  Details.clear();
  Coarse.Width = width;
  Coarse.Height = height;
  Coarse.Data.assign(plane, plane + size_t(width) * size_t(height));
  if (width < 1 || height < 1) return;
  for (int level = 0; level < levels; ++level) {
    Sizes.push_back({Coarse.Width, Coarse.Height, {}});
    std::vector<sBand> bands(3);
    sBand low;
    AnalyseLevel(Coarse, low, bands.data());
    Coarse = std::move(low);
    Details.push_back(std::move(bands));
  }
}

void cWaveletPyramid::AnalyseLevel(const sBand& in, sBand& low, sBand bands[3]) const
{
  const int w = in.Width, h = in.Height, mw = BandExtent(w), mh = BandExtent(h);
  const int length = int(Low.size());
  // Rows first: a low and a high half of mw x h each.
  std::vector<double> lowRows(size_t(mw) * size_t(h)), highRows(size_t(mw) * size_t(h));
  ForRows(h, w * length, [&](int first, int end) {
    std::vector<double> extended;
    for (int r = first; r < end; ++r)
      AnalyseLine(in.Data.data() + size_t(r) * size_t(w), w, Low, High, extended,
                  lowRows.data() + size_t(r) * size_t(mw), highRows.data() + size_t(r) * size_t(mw), mw);
  });
  // Then columns (ll, lh: low along x; hl, hh: high along x), a whole output row at a time so that the halves are read
  // row by row.
  for (sBand* band : {&low, &bands[0], &bands[1], &bands[2]}) {
    band->Width = mw;
    band->Height = mh;
    band->Data.assign(size_t(mw) * size_t(mh), 0.0);
  }
  ForRows(mh, mw * length * 4, [&](int first, int end) {
    for (int k = first; k < end; ++k) {
      double* ll = low.Data.data() + size_t(k) * size_t(mw);
      double* hl = bands[dtHorizontal].Data.data() + size_t(k) * size_t(mw);
      double* lh = bands[dtVertical].Data.data() + size_t(k) * size_t(mw);
      double* hh = bands[dtDiagonal].Data.data() + size_t(k) * size_t(mw);
      for (int j = 0; j < length; ++j) {
        const int r = Fold(2 * k + j - (length - 2), h);
        const double* lr = lowRows.data() + size_t(r) * size_t(mw);
        const double* hr = highRows.data() + size_t(r) * size_t(mw);
        const double fl = Low[size_t(j)], fh = High[size_t(j)];
        for (int c = 0; c < mw; ++c) {
          ll[c] += fl * lr[c];
          hl[c] += fl * hr[c];
          lh[c] += fh * lr[c];
          hh[c] += fh * hr[c];
        }
      }
    }
  });
}

void cWaveletPyramid::Reconstruct(double* plane) const
{
  if (Sizes.empty()) {
    std::copy(Coarse.Data.begin(), Coarse.Data.end(), plane);
    return;
  }
  sBand current = Coarse;
  for (int level = Levels() - 1; level >= 0; --level) {
    sBand out = Sizes[size_t(level)];
    SynthesiseLevel(current, Details[size_t(level)].data(), out);
    current = std::move(out);
  }
  std::copy(current.Data.begin(), current.Data.end(), plane);
}

void cWaveletPyramid::SynthesiseLevel(const sBand& low, const sBand bands[3], sBand& out) const
{
  const int w = out.Width, h = out.Height, mw = low.Width, mh = low.Height;
  const int length = int(SynthesisLow.size());
  const sBand& highXLowY = bands[dtHorizontal];
  const sBand& lowXHighY = bands[dtVertical];
  const sBand& both = bands[dtDiagonal];
  // Columns first, back to the low and high halves along x (mw x h each): row i gathers the
  // coefficient rows k with 2k + 1 - i a tap index.
  std::vector<double> lowRows(size_t(mw) * size_t(h), 0.0), highRows(size_t(mw) * size_t(h), 0.0);
  ForRows(h, mw * length * 4, [&](int first, int end) {
    for (int i = first; i < end; ++i) {
      double* lr = lowRows.data() + size_t(i) * size_t(mw);
      double* hr = highRows.data() + size_t(i) * size_t(mw);
      int k0, k1;
      Reach(i, length, mh, k0, k1);
      for (int k = k0; k < k1; ++k) {
        const double gl = SynthesisLow[size_t(2 * k + 1 - i)], gh = SynthesisHigh[size_t(2 * k + 1 - i)];
        const size_t at = size_t(k) * size_t(mw);
        const double* a = low.Data.data() + at;
        const double* v = lowXHighY.Data.data() + at;
        const double* hx = highXLowY.Data.data() + at;
        const double* d = both.Data.data() + at;
        for (int c = 0; c < mw; ++c) {
          lr[c] += gl * a[c] + gh * v[c];
          hr[c] += gl * hx[c] + gh * d[c];
        }
      }
    }
  });
  // Then rows.
  out.Data.assign(size_t(w) * size_t(h), 0.0);
  ForRows(h, w * length, [&](int first, int end) {
    for (int r = first; r < end; ++r) {
      const double* lr = lowRows.data() + size_t(r) * size_t(mw);
      const double* hr = highRows.data() + size_t(r) * size_t(mw);
      double* x = out.Data.data() + size_t(r) * size_t(w);
      for (int i = 0; i < w; ++i) {
        int k0, k1;
        Reach(i, length, mw, k0, k1);
        double sum = 0.0;
        for (int k = k0; k < k1; ++k)
          sum += SynthesisLow[size_t(2 * k + 1 - i)] * lr[k] + SynthesisHigh[size_t(2 * k + 1 - i)] * hr[k];
        x[i] = sum;
      }
    }
  });
}
