#include "PSMFilter.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "FindMedian.h"
#include "cSmallMedianRows.h"
#include "cWindowMedians.h"
#include "kvDiagnostics.h"

KV_UNIT("050pkMedian\\PSMFilter");

namespace {
constexpr int MaxPasses = 100;
}

PSMFilter::PSMFilter()
{
  Name = "PSM Filter";
  GroupName = "Detector Median Filters";
  OperationType = otFilter;
  FormMode = 1;
  KV_ASSERT(Params != nullptr, "OperationParams != NULL");
  DetectorSizeParam = Params->AddInteger("Detector window size", 1, 27, 5);
  FilterSizeParam = Params->AddInteger("Filter window size", 1, 27, 3);
  ThresholdParam = Params->AddInteger("Detector Treshold", 0, 255, 25);
  EpochsParam = Params->AddInteger("Detector epoch count", 1, 5, 3);
}

unsigned PSMFilter::ChannelPercent(int channel, int channels, unsigned stagePercent)
{
  const unsigned share = 99u / unsigned(channels);
  return unsigned(channel) * share + stagePercent / unsigned(channels);
}

void PSMFilter::RegionRows(const tTerminateFlag& terminated, int h, unsigned progressFrom, unsigned progressTo,
                           const std::function<void(int r)>& row)
{
  DriveRows(
      terminated, true,
      [&](int y) {
        if (y - int(FirstRow) < h) row(y - int(FirstRow));
      },
      progressFrom, progressTo);
}

void PSMFilter::BuildMirrorTable(std::vector<int>& map, int count, int size)
{
  const int high = size / 2, low = high - size + 1;
  map.resize(size_t(count + size - 1));
  for (int i = 0; i < int(map.size()); ++i) map[size_t(i)] = cRegionChannel::Mirror(i + low, count);
}

void PSMFilter::OperationItself(const tTerminateFlag& terminated)
{
  DetectorSize = uint8_t(std::clamp((*Params)[DetectorSizeParam].GetInteger(), 1, 255));
  FilterSize = uint8_t(std::clamp((*Params)[FilterSizeParam].GetInteger(), 1, 255));
  Threshold = uint8_t(std::clamp((*Params)[ThresholdParam].GetInteger(), 0, 255));
  Epochs = uint8_t(std::clamp((*Params)[EpochsParam].GetInteger(), 1, 255));
  const bool plain = PixelReferenceRequested();
  NoteRanByRows(!plain);
  const cRegionChannel region(*this, *ResultSurface);
  if (region.GetSize() == 0) return;
  const int largest = std::max(DetectorSize, FilterSize);
  Window.resize(size_t(largest) * largest);
  const int channels = ResultSurface->GetChannelsCount();
  for (int c = 0; c < channels; ++c) {
    SourceSurface->CurrentChannel = c;
    ResultSurface->CurrentChannel = c;
    OperationProgress(ChannelPercent(c, channels, 0));
    if (!region.CopyIn(*SourceSurface, c, X, terminated)) return;
    if (plain)
      DetectPlain(region);
    else
      Detect(region, c, channels, terminated);
    Restore(region, c, channels, terminated);
    if (!region.CopyOut(*ResultSurface, c, X, terminated)) return;
  }
}

void PSMFilter::Detect(const cRegionChannel& region, int channel, int channels, const tTerminateFlag& terminated)
{
  const int w = region.GetWidth(), h = region.GetHeight();
  const int size = DetectorSize;
  BuildMirrorTable(RowMap, h, size);
  BuildMirrorTable(ColumnMap, w, size);
  P = X;
  Q = X;
  F.assign(X.size(), 0);
  F0.assign(X.size(), 0);
  const int stride = w + size - 1;
  Padded.resize(size_t(h + size - 1) * size_t(stride));
  for (int epoch = 0; epoch < Epochs; ++epoch) {
    // The estimate with its mirrored margins laid out once, so every window is a plain block.
    for (int i = 0; i < h + size - 1; ++i) {
      const uint8_t* from = P.data() + size_t(RowMap[size_t(i)]) * w;
      uint8_t* to = Padded.data() + size_t(i) * size_t(stride);
      // Columns that mirror nothing are the row itself.
      const int inside = -(size / 2 - size + 1);
      for (int j = 0; j < inside; ++j) to[j] = from[ColumnMap[size_t(j)]];
      for (int j = inside + w; j < stride; ++j) to[j] = from[ColumnMap[size_t(j)]];
      std::copy(from, from + w, to + inside);
    }
    // Rows of an epoch read only the previous estimate: they go across the worker threads.
    const unsigned from = unsigned(epoch * 49 / Epochs), to = unsigned((epoch + 1) * 49 / Epochs);
    RegionRows(terminated, h, ChannelPercent(channel, channels, from), ChannelPercent(channel, channels, to), [&](int r) {
      thread_local std::vector<uint8_t> rowMedians;
      rowMedians.resize(size_t(w));
      if (cSmallMedianRows::Handles(size, size)) {
        const uint8_t* rows[5];
        for (int k = 0; k < size; ++k) rows[k] = Padded.data() + size_t(r + k) * size_t(stride) + size / 2;
        cSmallMedianRows::Row(rows, size, 1, rowMedians.data(), w);
      } else {
        // The medianer keeps working blocks: one per thread.
        thread_local cWindowMedians medianer;
        medianer.Build(size);
        medianer.Row(Padded.data(), stride, r, w, rowMedians.data());
      }
      // Without branches, on local pointers, so the loop runs in vectors.
      const size_t at = size_t(r) * w;
      const uint8_t* __restrict medians = rowMedians.data();
      const uint8_t* __restrict x = X.data() + at;
      const uint8_t* __restrict f0 = F0.data() + at;
      uint8_t* __restrict f = F.data() + at;
      uint8_t* __restrict q = Q.data() + at;
      const uint8_t threshold = Threshold;
      const int width = w;  // a local, which no byte store can alias
      for (int col = 0; col < width; ++col) {
        const uint8_t m = medians[col];
        const uint8_t distance = uint8_t(std::max(x[col], m) - std::min(x[col], m));
        const uint8_t flagged = uint8_t(-int(distance >= threshold));
        f[col] = uint8_t((flagged & 1) | (~flagged & f0[col]));
        q[col] = uint8_t((flagged & m) | (~flagged & q[col]));
      }
    });
    P = Q;
    F0 = F;
  }
}

void PSMFilter::DetectPlain(const cRegionChannel& region)
{
  const int w = region.GetWidth(), h = region.GetHeight();
  P = X;
  Q = X;
  F.assign(X.size(), 0);
  F0.assign(X.size(), 0);
  for (int epoch = 0; epoch < Epochs; ++epoch) {
    for (int r = 0; r < h; ++r)
      for (int col = 0; col < w; ++col) {
        const uint8_t m = PlainWindowMedian(w, r, col);
        const size_t pos = size_t(r) * w + col;
        if (std::abs(int(X[pos]) - int(m)) < int(Threshold)) {
          F[pos] = F0[pos];
        } else {
          F[pos] = 1;
          Q[pos] = m;
        }
      }
    P = Q;
    F0 = F;
  }
}

uint8_t PSMFilter::PlainWindowMedian(int w, int r, int col)
{
  const int h = int(P.size()) / w;
  const int high = DetectorSize / 2, low = high - DetectorSize + 1;
  unsigned n = 0;
  for (int dr = low; dr <= high; ++dr)
    for (int dc = low; dc <= high; ++dc)
      Window[n++] = P[size_t(cRegionChannel::Mirror(r + dr, h)) * w + size_t(cRegionChannel::Mirror(col + dc, w))];
  return FindMedian(Window.data(), n);
}

void PSMFilter::Restore(const cRegionChannel& region, int channel, int channels, const tTerminateFlag& terminated)
{
  const int w = region.GetWidth(), h = region.GetHeight();
  const int size = FilterSize;
  BuildMirrorTable(RowMap, h, size);
  BuildMirrorTable(ColumnMap, w, size);
  G = F;
  Y = X;
  for (int pass = 1;; ++pass) {
    // Rows of a pass read only the previous pass's samples and flags: they go across the
    // worker threads.
    std::atomic<unsigned> resolved{0}, unresolved{0};
    RegionRows(terminated, h, ChannelPercent(channel, channels, 50), ChannelPercent(channel, channels, 99), [&](int r) {
      // Local pointers, and the unflagged neighbours gathered without branches.
      const uint8_t* __restrict g = G.data();
      const uint8_t* __restrict y = Y.data();
      const int* columns = ColumnMap.data();
      thread_local std::vector<uint8_t> neighbours;
      neighbours.resize(size_t(size) * size_t(size));
      uint8_t* __restrict window = neighbours.data();
      unsigned rowResolved = 0, rowUnresolved = 0;
      for (int col = 0; col < w; ++col) {
        const size_t pos = size_t(r) * w + col;
        if (g[pos] != 1) continue;
        unsigned n = 0;
        for (int dr = 0; dr < size; ++dr) {
          const size_t rowStart = size_t(RowMap[size_t(r + dr)]) * w;
          for (int dc = 0; dc < size; ++dc) {
            const size_t at = rowStart + size_t(columns[col + dc]);
            window[n] = y[at];
            n += g[at] == 0;
          }
        }
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
    if (unresolved == 0 || pass >= MaxPasses || resolved == 0) break;
    G = F;
    Y = X;
  }
}
