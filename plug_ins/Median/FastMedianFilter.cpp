#include "FastMedianFilter.h"

#include <algorithm>

#include "FindMedian.h"
#include "kvDiagnostics.h"

namespace {
// Windows of up to this many samples go through the comparator network, larger ones through
// FindMedian per sample.
constexpr unsigned NetworkLimit = 128;
}  // namespace

FastMedianFilter::FastMedianFilter()
{
  Name = "Median Filter";
  GroupName = "Median Filters";
  OperationType = otFilter;
  FormMode = 1;
  KV_ASSERT_TEXT(Params != nullptr, "OperationParams != NULL", "050pkMedian\\FastMedianFilter");
  sParameterInfo info;
  info.theParameterType = ptInteger;
  info.Precision = 0;
  info.MinBound = 1;
  info.MaxBound = 27;
  info.DefaultValue = 3;
  info.ParameterName = "Width size";
  Params->AddNewParam(info);
  info.ParameterName = "Height size";
  Params->AddNewParam(info);
  info.theParameterType = ptBoolean;
  info.MinBound = 0;
  info.MaxBound = 1;
  info.DefaultValue = 0;
  info.ParameterName = "Recursive executing";
  Params->AddNewParam(info);
}

void FastMedianFilter::PreProcessing()
{
  WidthSize = uint8_t(std::clamp(Params->GetParam(0)->GetInteger(), 1, 255));
  HeightSize = uint8_t(std::clamp(Params->GetParam(1)->GetInteger(), 1, 255));
  Recursive = Params->GetParam(2)->GetBoolean();
  const unsigned count = unsigned(WidthSize) * HeightSize;
  Window.resize(count);
  WindowRows.resize(HeightSize);
  if (count <= NetworkLimit && !Recursive) {
    Network.Build(count);
    Block.assign(size_t(count) * cMedianNetwork::BlockWidth, 0);
  }
}

void FastMedianFilter::TransformPixel(unsigned x, unsigned y)
{
  const cBMPSurface* from = Recursive ? ResultSurface : SourceSurface;
  const int highX = WidthSize / 2, lowX = highX - WidthSize + 1;
  const int highY = HeightSize / 2, lowY = highY - HeightSize + 1;
  unsigned n = 0;
  for (int dx = lowX; dx <= highX; ++dx)
    for (int dy = lowY; dy <= highY; ++dy) Window[n++] = from->GetPixel(int(x) + dx, int(y) + dy);
  ResultSurface->SetPixel(int(x), int(y), FindMedian(Window.data(), n));
}

// Samples whose window lies inside the picture are read straight from the rows.
bool FastMedianFilter::InteriorWindow(sWindowExtent& window) const
{
  window.HighX = WidthSize / 2;
  window.LowX = window.HighX - WidthSize + 1;
  window.HighY = HeightSize / 2;
  window.LowY = window.HighY - HeightSize + 1;
  return true;
}

void FastMedianFilter::InteriorSpan(int y, int channel, int firstX, int endX)
{
  const unsigned count = unsigned(WidthSize) * HeightSize;
  if (!Recursive && count <= NetworkLimit) {
    InteriorSpanByNetwork(y, channel, firstX, endX);
    return;
  }
  const cBMPSurface* from = Recursive ? ResultSurface : SourceSurface;
  const int channels = from->GetChannelsCount();
  const int highX = WidthSize / 2, lowX = highX - WidthSize + 1;
  const int highY = HeightSize / 2, lowY = highY - HeightSize + 1;
  for (int dy = lowY; dy <= highY; ++dy) WindowRows[size_t(dy - lowY)] = from->Row(y + dy) + channel;
  uint8_t* out = ResultSurface->Row(y) + channel;
  for (int x = firstX; x < endX; ++x) {
    unsigned n = 0;
    for (int dx = lowX; dx <= highX; ++dx) {
      const int offset = (x + dx) * channels;
      for (int dy = 0; dy < HeightSize; ++dy) Window[n++] = WindowRows[size_t(dy)][offset];
    }
    out[x * channels] = FindMedian(Window.data(), n);
  }
}

// Up to BlockWidth neighbouring samples at a time: row k of the block holds window sample k
// of each of them, and one pass of the network leaves their medians in the result row.
void FastMedianFilter::InteriorSpanByNetwork(int y, int channel, int firstX, int endX)
{
  constexpr int lanes = int(cMedianNetwork::BlockWidth);
  const int channels = SourceSurface->GetChannelsCount();
  const int highX = WidthSize / 2, lowX = highX - WidthSize + 1;
  const int highY = HeightSize / 2, lowY = highY - HeightSize + 1;
  uint8_t* out = ResultSurface->Row(y) + channel;
  const uint8_t* result = Block.data() + size_t(Network.ResultRow()) * lanes;
  for (int start = firstX; start < endX; start += lanes) {
    const int count = std::min(lanes, endX - start);
    uint8_t* row = Block.data();
    for (int dy = lowY; dy <= highY; ++dy) {
      const uint8_t* in = SourceSurface->Row(y + dy) + channel;
      for (int dx = lowX; dx <= highX; ++dx, row += lanes) {
        const uint8_t* from = in + (start + dx) * channels;
        if (channels == 1)
          std::copy(from, from + count, row);
        else
          for (int i = 0; i < count; ++i) row[i] = from[i * channels];
      }
    }
    Network.Apply(Block.data());
    if (channels == 1)
      std::copy(result, result + count, out + start);
    else
      for (int i = 0; i < count; ++i) out[(start + i) * channels] = result[i];
  }
}
