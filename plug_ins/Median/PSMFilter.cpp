#include "PSMFilter.h"

#include <algorithm>
#include <cstdlib>

#include "FindMedian.h"
#include "cSmallMedianRows.h"
#include "cWindowMedians.h"
#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("050pkMedian\\PSMFilter");

PSMFilter::PSMFilter() : acSwitchingMedianFilter("PSM Filter")
{
  ThresholdParam = Params->AddInteger("Detector Treshold", 0, 255, 25);
  EpochsParam = Params->AddInteger("Detector epoch count", 1, 5, 3);
}

unsigned PSMFilter::ChannelPercent(int channel, int channels, unsigned stagePercent)
{
  const unsigned share = 99u / unsigned(channels);
  return unsigned(channel) * share + stagePercent / unsigned(channels);
}

void PSMFilter::BuildMirrorTable(std::vector<int>& map, int count, int size)
{
  const int high = size / 2, low = high - size + 1;
  map.resize(size_t(count + size - 1));
  for (int i = 0; i < int(map.size()); ++i) map[size_t(i)] = cRegionChannel::Mirror(i + low, count);
}

void PSMFilter::BuildMirrorTables(const cRegionChannel& region, int size)
{
  BuildMirrorTable(RowMap, region.GetHeight(), size);
  BuildMirrorTable(ColumnMap, region.GetWidth(), size);
}

void PSMFilter::StartDetection()
{
  P = X;
  Q = X;
  F.assign(X.size(), 0);
  F0.assign(X.size(), 0);
}

void PSMFilter::OperationItself(const tTerminateFlag& terminated)
{
  ReadWindowSizes();
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
  BuildMirrorTables(region, size);
  StartDetection();
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
    RegionRows(terminated, h, ChannelPercent(channel, channels, from), ChannelPercent(channel, channels, to),
               [&](int r) {
                 thread_local std::vector<uint8_t> rowMedians;
                 rowMedians.resize(size_t(w));
                 if (cSmallMedianRows::Handles(size, size)) {
                   const uint8_t* rows[5];
                   for (int k = 0; k < size; ++k) rows[k] = Padded.data() + size_t(r + k) * size_t(stride) + size / 2;
                   cSmallMedianRows::Row(rows, size, 1, rowMedians.data(), w);
                 } else {
                   // The window medians keep working blocks: one per thread.
                   thread_local cWindowMedians windowMedians;
                   windowMedians.Build(size);
                   windowMedians.Row(Padded.data(), stride, r, w, rowMedians.data());
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
  StartDetection();
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
  BuildMirrorTables(region, size);
  const int* columns = ColumnMap.data();
  // The unflagged neighbours gathered without branches.
  const unsigned progressFrom = ChannelPercent(channel, channels, 50),
                 progressTo = ChannelPercent(channel, channels, 99);
  RestoreFlagged(
      terminated, w, h, progressFrom, progressTo, size, true,
      [&](int r, int col, const uint8_t* __restrict g, const uint8_t* __restrict y, uint8_t* __restrict window) {
        unsigned n = 0;
        for (int dr = 0; dr < size; ++dr) {
          const size_t rowStart = size_t(RowMap[size_t(r + dr)]) * w;
          for (int dc = 0; dc < size; ++dc) {
            const size_t at = rowStart + size_t(columns[col + dc]);
            window[n] = y[at];
            n += g[at] == 0;
          }
        }
        return n;
      });
}
