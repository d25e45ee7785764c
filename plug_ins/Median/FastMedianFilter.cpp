#include "FastMedianFilter.h"

#include <algorithm>

#include "FindMedian.h"
#include "cSmallMedianRows.h"
#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("050pkMedian\\FastMedianFilter");

namespace {
// Windows of up to this many samples go through the comparator network, larger ones through
// FindMedian per sample.
constexpr unsigned NetworkLimit = 128;
}  // namespace

FastMedianFilter::FastMedianFilter()
{
  Describe("Median Filter", "Median Filters", otFilter, fmParamDialog);
  WidthParam = Params->AddInteger("Width size", 1, 27, 3);
  HeightParam = Params->AddInteger("Height size", 1, 27, 3);
  RecursiveParam = Params->AddBoolean("Recursive executing", false);
}

void FastMedianFilter::PreProcessing()
{
  WidthSize = uint8_t(std::clamp((*Params)[WidthParam].GetInteger(), 1, 255));
  HeightSize = uint8_t(std::clamp((*Params)[HeightParam].GetInteger(), 1, 255));
  Recursive = (*Params)[RecursiveParam].GetBoolean();
  const unsigned count = unsigned(WidthSize) * HeightSize;
  Window.resize(count);
  if (count <= NetworkLimit && !Recursive) Network.Build(count);
}

void FastMedianFilter::TransformPixel(unsigned x, unsigned y)
{
  const cBMPSurface* from = Recursive ? ResultSurface : SourceSurface;
  const sWindowExtent w = sWindowExtent::OfSize(WidthSize, HeightSize);
  unsigned n = 0;
  for (int dx = -w.Left; dx <= w.Right; ++dx)
    for (int dy = -w.Up; dy <= w.Down; ++dy) Window[n++] = from->GetPixel(int(x) + dx, int(y) + dy);
  ResultSurface->SetPixel(int(x), int(y), FindMedian(Window.data(), n));
}

acSingleChannelOperation::sRowForm FastMedianFilter::RowForm() const
{
  return {true, sWindowExtent::OfSize(WidthSize, HeightSize), true, Recursive};
}

void FastMedianFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const unsigned size = unsigned(WidthSize) * HeightSize;
  if (!Recursive && cSmallMedianRows::Handles(WidthSize, HeightSize)) {
    cSmallMedianRows::Row(in.Rows, WidthSize, in.Channels, out, count);
    return;
  }
  if (!Recursive && size <= NetworkLimit) {
    RowByNetwork(in, out, count);
    return;
  }
  const sWindowExtent w = sWindowExtent::OfSize(WidthSize, HeightSize);
  const int channels = in.Channels;
  std::vector<uint8_t> window(size);
  for (int i = 0; i < count; ++i)
    for (int c = 0; c < channels; ++c) {
      unsigned n = 0;
      for (int dx = -w.Left; dx <= w.Right; ++dx)
        for (int k = 0; k < w.Height(); ++k) window[n++] = in.Rows[k][(i + dx) * channels + c];
      out[i * channels + c] = FindMedian(window.data(), n);
    }
}

// Up to BlockWidth neighbouring samples at a time: row k of the block holds window sample k
// of each of them, and one pass of the network leaves their medians in the result row.
void FastMedianFilter::RowByNetwork(const sWindowRows& in, uint8_t* out, int count) const
{
  constexpr int lanes = int(cMedianNetwork::BlockWidth);
  const sWindowExtent w = sWindowExtent::OfSize(WidthSize, HeightSize);
  const int channels = in.Channels;
  std::vector<uint8_t> block(size_t(WidthSize) * HeightSize * lanes, 0);
  const uint8_t* result = block.data() + size_t(Network.ResultRow()) * lanes;
  for (int c = 0; c < channels; ++c)
    for (int start = 0; start < count; start += lanes) {
      const int n = std::min(lanes, count - start);
      uint8_t* row = block.data();
      for (int k = 0; k < w.Height(); ++k)
        for (int dx = -w.Left; dx <= w.Right; ++dx, row += lanes) {
          const uint8_t* from = in.Rows[k] + (start + dx) * channels + c;
          for (int i = 0; i < n; ++i) row[i] = from[i * channels];
        }
      Network.Apply(block.data());
      for (int i = 0; i < n; ++i) out[(start + i) * channels + c] = result[i];
    }
}
