#include "PSMFilter.h"

#include <algorithm>
#include <cstdlib>

#include "FindMedian.h"
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
  sParameterInfo info;
  info.theParameterType = ptInteger;
  info.Precision = 0;
  info.MinBound = 1;
  info.MaxBound = 27;
  info.DefaultValue = 5;
  info.ParameterName = "Detector window size";
  Params->AddNewParam(info);
  info.DefaultValue = 3;
  info.ParameterName = "Filter window size";
  Params->AddNewParam(info);
  info.MinBound = 0;
  info.MaxBound = 255;
  info.DefaultValue = 25;
  info.ParameterName = "Detector Treshold";
  Params->AddNewParam(info);
  info.MinBound = 1;
  info.MaxBound = 5;
  info.DefaultValue = 3;
  info.ParameterName = "Detector epoch count";
  Params->AddNewParam(info);
}

void PSMFilter::ChannelProgress(int channel, int channels, unsigned stagePercent)
{
  const unsigned share = 99u / unsigned(channels);
  OperationProgress(unsigned(channel) * share + stagePercent / unsigned(channels));
}

void PSMFilter::BuildMirrorTable(std::vector<int>& map, int count, int size)
{
  const int high = size / 2, low = high - size + 1;
  map.resize(size_t(count + size - 1));
  for (int i = 0; i < int(map.size()); ++i) map[size_t(i)] = cRegionChannel::Mirror(i + low, count);
}

void PSMFilter::OperationItself(const tTerminateFlag& terminated)
{
  DetectorSize = uint8_t(std::clamp(Params->GetParam(0)->GetInteger(), 1, 255));
  FilterSize = uint8_t(std::clamp(Params->GetParam(1)->GetInteger(), 1, 255));
  Threshold = uint8_t(std::clamp(Params->GetParam(2)->GetInteger(), 0, 255));
  Epochs = uint8_t(std::clamp(Params->GetParam(3)->GetInteger(), 1, 255));
  const cRegionChannel region(*this, *ResultSurface);
  if (region.GetSize() == 0) return;
  const int largest = std::max(DetectorSize, FilterSize);
  Window.resize(size_t(largest) * largest);
  const int channels = ResultSurface->GetChannelsCount();
  for (int c = 0; c < channels; ++c) {
    SourceSurface->CurrentChannel = c;
    ResultSurface->CurrentChannel = c;
    ChannelProgress(c, channels, 0);
    if (!region.CopyIn(*SourceSurface, c, X, terminated)) return;
    Detect(region, c, channels);
    Restore(region, c, channels);
    if (!region.CopyOut(*ResultSurface, c, X, terminated)) return;
  }
}

void PSMFilter::Detect(const cRegionChannel& region, int channel, int channels)
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
  Medians.resize(size_t(w));
  Medianer.Build(size);
  for (int epoch = 0; epoch < Epochs; ++epoch) {
    // The estimate with its mirrored margins laid out once, so every window is a plain block.
    for (int i = 0; i < h + size - 1; ++i) {
      const uint8_t* from = P.data() + size_t(RowMap[size_t(i)]) * w;
      uint8_t* to = Padded.data() + size_t(i) * size_t(stride);
      for (int j = 0; j < stride; ++j) to[j] = from[ColumnMap[size_t(j)]];
    }
    for (int r = 0; r < h; ++r) {
      Medianer.Row(Padded.data(), stride, r, w, Medians.data());
      for (int col = 0; col < w; ++col) {
        const uint8_t m = Medians[size_t(col)];
        const size_t pos = size_t(r) * w + col;
        if (std::abs(int(X[pos]) - int(m)) < int(Threshold)) {
          F[pos] = F0[pos];
        } else {
          F[pos] = 1;
          Q[pos] = m;
        }
      }
      // The detection stage fills the first half of the channel's share, epoch after epoch.
      ChannelProgress(channel, channels, unsigned((epoch * h + r) * 99LL / (2LL * h * Epochs)));
    }
    P = Q;
    F0 = F;
  }
}

void PSMFilter::Restore(const cRegionChannel& region, int channel, int channels)
{
  const int w = region.GetWidth(), h = region.GetHeight();
  const int size = FilterSize;
  BuildMirrorTable(RowMap, h, size);
  BuildMirrorTable(ColumnMap, w, size);
  G = F;
  Y = X;
  for (int pass = 1;; ++pass) {
    unsigned resolved = 0, unresolved = 0;
    for (int r = 0; r < h; ++r) {
      for (int col = 0; col < w; ++col) {
        const size_t pos = size_t(r) * w + col;
        if (G[pos] != 1) continue;
        unsigned n = 0;
        for (int dr = 0; dr < size; ++dr) {
          const size_t rowStart = size_t(RowMap[size_t(r + dr)]) * w;
          for (int dc = 0; dc < size; ++dc) {
            const size_t at = rowStart + size_t(ColumnMap[size_t(col + dc)]);
            if (G[at] == 0) Window[n++] = Y[at];
          }
        }
        if (n == 0) {
          ++unresolved;
        } else {
          X[pos] = FindMedian(Window.data(), n);
          F[pos] = 0;
          ++resolved;
        }
      }
      ChannelProgress(channel, channels, 50u + unsigned(r) * 49u / unsigned(h));
    }
    if (unresolved == 0 || pass >= MaxPasses || resolved == 0) break;
    G = F;
    Y = X;
  }
}
