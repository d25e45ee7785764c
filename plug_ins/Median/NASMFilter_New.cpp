#include "NASMFilter_New.h"

#include <algorithm>

#include "FindMedian.h"
#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("050pkMedian\\NASMFilter_New");

NASMFilter_New::NASMFilter_New() : acSwitchingMedianFilter("APSM Filter") {}

void NASMFilter_New::OperationItself(const tTerminateFlag& terminated)
{
  ReadWindowSizes();
  const bool plain = PixelReferenceRequested();
  NoteRanByRows(!plain);
  const cRegionChannel region(*this, *ResultSurface);
  if (region.GetSize() == 0) return;
  const int channels = ResultSurface->GetChannelsCount();
  for (int c = 0; c < channels; ++c) {
    SourceSurface->CurrentChannel = c;
    ResultSurface->CurrentChannel = c;
    // This channel's share of the run: detection its first half, restoration the second.
    const unsigned share = WorkProgress / unsigned(channels), first = unsigned(c) * share;
    OperationProgress(first);
    if (!region.CopyIn(*SourceSurface, c, X, terminated)) return;
    if (plain)
      DetectPlain(region);
    else
      Detect(region, first, first + share / 2, terminated);
    Restore(region, first + share / 2, first + share, terminated);
    if (!region.CopyOut(*ResultSurface, c, X, terminated)) return;
  }
}

// Window extremes in two one-dimensional passes: over the window's rows for every column,
// then over the window's columns; clipping both ranges to the region gives the clipped square.
void NASMFilter_New::Detect(const cRegionChannel& region, unsigned progressFrom, unsigned progressTo,
                            const tTerminateFlag& terminated)
{
  const int w = region.GetWidth(), h = region.GetHeight();
  const int high = DetectorSize / 2, low = high - DetectorSize + 1;
  F.assign(X.size(), 0);
  // Rows read only the samples: they go across the worker threads, each with its own extremes.
  RegionRows(terminated, h, progressFrom, progressTo, [&](int r) {
    thread_local std::vector<uint8_t> columnLows, columnHighs, rowLows, rowHighs;
    columnLows.resize(size_t(w));
    columnHighs.resize(size_t(w));
    rowLows.resize(size_t(w));
    rowHighs.resize(size_t(w));
    const int r0 = std::max(0, r + low), r1 = std::min(h - 1, r + high);
    std::fill(columnLows.begin(), columnLows.end(), uint8_t(255));
    std::fill(columnHighs.begin(), columnHighs.end(), uint8_t(0));
    // Local pointers the compiler knows apart, so these loops run in vectors.
    uint8_t* __restrict columnLowest = columnLows.data();
    uint8_t* __restrict columnHighest = columnHighs.data();
    const int width = w;  // a local, which no byte store can alias
    for (int rr = r0; rr <= r1; ++rr) {
      const uint8_t* __restrict row = X.data() + size_t(rr) * width;
      for (int col = 0; col < width; ++col) {
        columnLowest[col] = std::min(columnLowest[col], row[col]);
        columnHighest[col] = std::max(columnHighest[col], row[col]);
      }
    }
    // Each column offset in turn over every column it reaches, so the loops run straight.
    std::fill(rowLows.begin(), rowLows.end(), uint8_t(255));
    std::fill(rowHighs.begin(), rowHighs.end(), uint8_t(0));
    for (int dc = low; dc <= high; ++dc) {
      const int first = std::max(0, -dc), end = std::min(width, width - dc);
      const uint8_t* lows = columnLows.data() + (first + dc);
      const uint8_t* highs = columnHighs.data() + (first + dc);
      uint8_t* __restrict lowest = rowLows.data() + first;
      uint8_t* __restrict highest = rowHighs.data() + first;
      for (int i = 0; i < end - first; ++i) {
        lowest[i] = std::min(lowest[i], lows[i]);
        highest[i] = std::max(highest[i], highs[i]);
      }
    }
    const uint8_t* __restrict values = X.data() + size_t(r) * w;
    const uint8_t* __restrict rowLowest = rowLows.data();
    const uint8_t* __restrict rowHighest = rowHighs.data();
    uint8_t* __restrict flags = F.data() + size_t(r) * w;
    for (int col = 0; col < width; ++col)
      flags[col] = uint8_t(!(rowLowest[col] < values[col]) | !(values[col] < rowHighest[col]));
  });
}

void NASMFilter_New::DetectPlain(const cRegionChannel& region)
{
  const int w = region.GetWidth(), h = region.GetHeight();
  const int high = DetectorSize / 2, low = high - DetectorSize + 1;
  F.assign(X.size(), 0);
  for (int r = 0; r < h; ++r)
    for (int col = 0; col < w; ++col) {
      uint8_t lowest = 255, highest = 0;
      for (int rr = std::max(0, r + low); rr <= std::min(h - 1, r + high); ++rr)
        for (int cc = std::max(0, col + low); cc <= std::min(w - 1, col + high); ++cc) {
          lowest = std::min(lowest, X[size_t(rr) * w + cc]);
          highest = std::max(highest, X[size_t(rr) * w + cc]);
        }
      const uint8_t v = X[size_t(r) * w + col];
      F[size_t(r) * w + col] = (lowest < v && v < highest) ? 0 : 1;
    }
}

void NASMFilter_New::Restore(const cRegionChannel& region, unsigned progressFrom, unsigned progressTo,
                             const tTerminateFlag& terminated)
{
  const int w = region.GetWidth(), h = region.GetHeight();
  const int high = FilterSize / 2, low = high - FilterSize + 1;
  // A pass that resolves nothing does not end the stage; only the pass limit does.
  RestoreFlagged(
      terminated, w, h, progressFrom, progressTo, FilterSize, false,
      [&](int r, int col, const uint8_t* __restrict g, const uint8_t* __restrict y, uint8_t* __restrict window) {
        const int r0 = std::max(0, r + low), r1 = std::min(h - 1, r + high);
        const int c0 = std::max(0, col + low), c1 = std::min(w - 1, col + high);
        unsigned n = 0;
        // Without branches: every neighbour written, the unflagged ones kept.
        for (int rr = r0; rr <= r1; ++rr)
          for (int cc = c0; cc <= c1; ++cc) {
            const size_t at = size_t(rr) * w + cc;
            window[n] = y[at];
            n += g[at] == 0;
          }
        return n;
      });
}
