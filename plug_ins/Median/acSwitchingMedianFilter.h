#pragma once
// Common ground of the two-stage switching medians: a detection stage flags impulses, a
// filtering stage replaces flagged samples by the median of their unflagged neighbours, pass
// after pass; both work on one channel of the region at a time.
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "FindMedian.h"
#include "kvOperations/acSingleChannelOperation.h"

class acSwitchingMedianFilter : public acSingleChannelOperation {
protected:
  // Describes the filter and declares "Detector window size" and "Filter window size".
  explicit acSwitchingMedianFilter(const char* name);
  // Reads the two window sizes for a run.
  void ReadWindowSizes();
  // row(r) for rows r of the region (h of them) across the worker threads, as DriveRows.
  void RegionRows(const tTerminateFlag& terminated, int h, unsigned progressFrom, unsigned progressTo,
                  const std::function<void(int r)>& row);

  // The filtering stage on the region's w x h samples X and flags F: pass after pass, every
  // flagged sample with unflagged neighbours takes their median and loses its flag, until none
  // is left or the pass limit is reached (with stopWhenStuck also after a pass that resolves
  // nothing). gather(r, col, g, y, window) writes the unflagged neighbours of (r, col), by the
  // previous pass's flags g and samples y, into window (windowSize^2 long) and returns their
  // count.
  template <class tGather>
  void RestoreFlagged(const tTerminateFlag& terminated, int w, int h, unsigned progressFrom, unsigned progressTo,
                      int windowSize, bool stopWhenStuck, tGather&& gather);

  // The filtering stage's limit on passes.
  static constexpr int MaxPasses = 100;

  uint8_t DetectorSize = 5;
  uint8_t FilterSize = 3;
  // Per-run arrays of the region: samples, flags, and the filtering stage's working copies.
  std::vector<uint8_t> X, F, G, Y;

private:
  sParamHandle DetectorSizeParam, FilterSizeParam;
};

template <class tGather>
void acSwitchingMedianFilter::RestoreFlagged(const tTerminateFlag& terminated, int w, int h, unsigned progressFrom,
                                             unsigned progressTo, int windowSize, bool stopWhenStuck, tGather&& gather)
{
  G = F;
  Y = X;
  for (int pass = 1;; ++pass) {
    // Rows of a pass read only the previous pass's samples and flags: they go across the
    // worker threads.
    std::atomic<unsigned> resolved{0}, unresolved{0};
    RegionRows(terminated, h, progressFrom, progressTo, [&](int r) {
      const uint8_t* __restrict g = G.data();
      const uint8_t* __restrict y = Y.data();
      thread_local std::vector<uint8_t> neighbours;
      neighbours.resize(size_t(windowSize) * size_t(windowSize));
      uint8_t* __restrict window = neighbours.data();
      unsigned rowResolved = 0, rowUnresolved = 0;
      for (int col = 0; col < w; ++col) {
        const size_t pos = size_t(r) * w + col;
        if (g[pos] != 1) continue;
        const unsigned n = gather(r, col, g, y, window);
        if (n == 0) {
          ++rowUnresolved;
        } else {
          X[pos] = FindMedian(window, n);
          F[pos] = 0;
          ++rowResolved;
        }
      }
      resolved += rowResolved;
      unresolved += rowUnresolved;
    });
    if (terminated.load(std::memory_order_relaxed)) return;
    if (unresolved == 0 || pass >= MaxPasses || (stopWhenStuck && resolved == 0)) break;
    G = F;
    Y = X;
  }
}
