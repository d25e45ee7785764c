#pragma once
// Sliding-window statistics of two planes: for every pixel, the mean, variance and covariance
// of the (2 rx + 1) x (2 ry + 1) window centred on it, by separable running sums (a row pass
// into a ring of row sums, then a column pass), O(1) per pixel whatever the window size.
// Positions outside the plane are folded into it through per-axis border maps.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <vector>

#include "kvRuntime/cPlaneBuffer.h"

struct sWindowMoments {
  double MeanA;
  double MeanB;
  double VarA;
  double VarB;
  double Cov;
};

class cWindowStatistics {
public:
  // Border map for one axis of n samples: entry i is the sample read for coordinate i - radius,
  // i = 0 .. n + 2 radius - 1. fold(t) must return a value in 0 .. n - 1.
  template <class tFold>
  static std::vector<int> BorderMap(int n, int radius, tFold fold)
  {
    std::vector<int> map(size_t(n + 2 * radius));
    for (int i = 0; i < n + 2 * radius; ++i) {
      const int t = i - radius;
      map[size_t(i)] = (t >= 0 && t < n) ? t : fold(t);
    }
    return map;
  }

  // The symmetric rule of the subband planes: t < 0 -> -t - 1, t >= n -> 2n - t - 1, repeated
  // until the position lies inside (windows may be larger than the plane).
  static int FoldSymmetric(int t, int n)
  {
    const int period = 2 * n;
    int m = t % period;
    if (m < 0) m += period;
    return m < n ? m : period - 1 - m;
  }

  // Sum over all pixels of index(moments of the window at that pixel). Planes a and b are
  // width x height, row-major. Variances and covariance divide by N - 1 (N = window pixel
  // count), or by 1 for a one-pixel window, whose variances are then 0. Stops early (with a
  // partial sum) when stop becomes true.
  template <class tIndex>
  static double SumOfIndex(const double* a, const double* b, int width, int height, const std::vector<int>& columnMap,
                           const std::vector<int>& rowMap, int rx, int ry, tIndex index,
                           const std::atomic<bool>* stop = nullptr)
  {
    if (width <= 0 || height <= 0) return 0.0;
    const size_t w = size_t(width);
    const double shiftA = a[0], shiftB = b[0];
    auto fillRow = [&](int row, double* ea, double* eb, size_t count) {
      const double* ra = a + size_t(row) * w;
      const double* rb = b + size_t(row) * w;
      for (size_t i = 0; i < count; ++i) {
        ea[i] = ra[columnMap[i]] - shiftA;
        eb[i] = rb[columnMap[i]] - shiftB;
      }
    };
    return SumOfIndexByRows(width, height, rowMap, rx, ry, shiftA, shiftB, fillRow, index, stop);
  }

  // The same sum with the planes read a row at a time, so that they need not exist as whole
  // real planes: fillRow(row, ea, eb, count) writes the count samples of plane row row that
  // the column map selects, minus shiftA / shiftB, into ea / eb. The shifts are the planes'
  // first samples.
  template <class tIndex, class tFillRow>
  static double SumOfIndexByRows(int width, int height, const std::vector<int>& rowMap, int rx, int ry, double shiftA,
                                 double shiftB, tFillRow fillRow, tIndex index, const std::atomic<bool>* stop = nullptr)
  {
    double total = 0.0;
    auto add = [&total](int, const double*, double rowTotal) { total += rowTotal; };
    IndexRows(width, height, 0, height, rowMap, rx, ry, shiftA, shiftB, fillRow, index, add, stop);
    return total;
  }

  // The five window sums (a, b, a², b², ab) of one row of extended samples ea, eb (w + spanX - 1
  // of them), for each of the row's w windows, into out's five planes of w.
  static void SlideRowSums(const double* ea, const double* eb, int spanX, size_t w, double* out)
  {
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    for (int i = 0; i < spanX; ++i) {
      const double va = ea[size_t(i)], vb = eb[size_t(i)];
      sa += va;
      sb += vb;
      saa += va * va;
      sbb += vb * vb;
      sab += va * vb;
    }
    double* oa = out;
    double* ob = out + w;
    double* oaa = out + 2 * w;
    double* obb = out + 3 * w;
    double* oab = out + 4 * w;
    for (size_t x = 0;; ++x) {
      oa[x] = sa;
      ob[x] = sb;
      oaa[x] = saa;
      obb[x] = sbb;
      oab[x] = sab;
      if (x + 1 == w) break;
      const double ia = ea[x + size_t(spanX)], ib = eb[x + size_t(spanX)];
      const double da = ea[x], db = eb[x];
      sa += ia - da;
      sb += ib - db;
      saa += ia * ia - da * da;
      sbb += ib * ib - db * db;
      sab += ia * ib - da * db;
    }
  }

  // The index of each of a row's w windows from the column sums of its five planes.
  template <class tIndex>
  static void RowIndices(const double* column, size_t w, double n, double divisor, double shiftA, double shiftB,
                         tIndex& index, double* q)
  {
    const double* sa = column;
    const double* sb = sa + w;
    const double* saa = sa + 2 * w;
    const double* sbb = sa + 3 * w;
    const double* sab = sa + 4 * w;
    // The indices of a row are independent (and vectorise); their sum keeps pixel order.
    for (size_t x = 0; x < w; ++x) {
      const double ma = sa[x] / n, mb = sb[x] / n;
      const double va = (saa[x] - sa[x] * ma) / divisor, vb = (sbb[x] - sb[x] * mb) / divisor;
      sWindowMoments m;
      m.MeanA = ma + shiftA;
      m.MeanB = mb + shiftB;
      m.VarA = va > 0.0 ? va : 0.0;
      m.VarB = vb > 0.0 ? vb : 0.0;
      m.Cov = (sab[x] - sa[x] * mb) / divisor;
      q[x] = index(m);
    }
  }

  // The window index of every pixel of rows firstRow .. endRow - 1, a row at a time:
  // rowDone(y, values, rowTotal) gets the row's indices and their sum in pixel order. For integer
  // planes the moments are exact, so a pixel's index does not depend on the rows chosen.
  template <class tIndex, class tFillRow, class tRowDone>
  static void IndexRows(int width, int height, int firstRow, int endRow, const std::vector<int>& rowMap, int rx, int ry,
                        double shiftA, double shiftB, tFillRow fillRow, tIndex index, tRowDone rowDone,
                        const std::atomic<bool>* stop = nullptr)
  {
    if (width <= 0 || height <= 0 || firstRow >= endRow) return;
    const size_t w = size_t(width);
    const int spanX = 2 * rx + 1, spanY = 2 * ry + 1;
    const double n = double(spanX) * double(spanY);
    const double divisor = n > 1 ? n - 1 : 1;
    // Sums are taken around the first sample: exact for integer planes, and it keeps the
    // cancellation in sum(a^2) - sum(a)^2 / N small for real planes.

    const int slots = spanY + 1;
    // Work planes come from the shared pool: fresh memory of this size costs more in page
    // faults than the sums themselves.
    cPlaneBuffer ring(size_t(slots) * 5 * w);
    cPlaneBuffer ea(w + size_t(2 * rx)), eb(w + size_t(2 * rx));
    auto rowSums = [&](int extendedRow) {
      fillRow(rowMap[size_t(extendedRow)], ea.data(), eb.data(), ea.size());
      SlideRowSums(ea.data(), eb.data(), spanX, w, ring.data() + size_t(extendedRow % slots) * 5 * w);
    };

    cPlaneBuffer column(5 * w), values(w);
    auto resum = [&](int firstRow) {
      std::fill(column.begin(), column.end(), 0.0);
      for (int j = firstRow; j < firstRow + spanY; ++j) {
        const double* in = ring.data() + size_t(j % slots) * 5 * w;
        for (size_t i = 0; i < 5 * w; ++i) column[i] += in[i];
      }
    };

    for (int y = firstRow; y < endRow; ++y) {
      if (y == firstRow) {
        for (int j = y; j < y + spanY; ++j) rowSums(j);
        resum(y);
      } else {
        rowSums(y + spanY - 1);
        // Re-anchoring now and then bounds the drift of the running column sums.
        if (y % 64 == 0) {
          resum(y);
        } else {
          const double* in = ring.data() + size_t((y + spanY - 1) % slots) * 5 * w;
          const double* out = ring.data() + size_t((y - 1) % slots) * 5 * w;
          for (size_t i = 0; i < 5 * w; ++i) column[i] += in[i] - out[i];
        }
      }
      double* q = values.data();
      RowIndices(column.data(), w, n, divisor, shiftA, shiftB, index, q);
      double rowTotal = 0.0;
      for (size_t x = 0; x < w; ++x) rowTotal += q[x];
      rowDone(y, static_cast<const double*>(q), rowTotal);
      if (stop && stop->load(std::memory_order_relaxed)) break;
    }
  }
};
