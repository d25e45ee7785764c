#include "FoolishSmartMedianFilter.h"

#include <algorithm>

#include "FindMedian.h"
#include "cImpulseMedianRows.h"
#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("999pkMisc\\FoolishSmartMedianFilter");

FoolishSmartMedianFilter::FoolishSmartMedianFilter()
{
  Describe("Foolish detector-Smart filter", "Detector Median Filters", otFilter, fmParamDialog);
  SizeParam = Params->AddInteger("Window size", 1, 27, 3);
  MaxSizeParam = Params->AddInteger("Max window size", 3, 27, 7);
  ThresholdParam = Params->AddReal("Threshold", 0, 1, 0.5, 2);
  RecursiveParam = Params->AddBoolean("Recursive executing", false);
}

void FoolishSmartMedianFilter::PreProcessing()
{
  WindowSize = uint8_t(std::clamp((*Params)[SizeParam].GetInteger(), 1, 255));
  MaxWindowSize = uint8_t(std::clamp((*Params)[MaxSizeParam].GetInteger(), 1, 255));
  Threshold = (*Params)[ThresholdParam].GetReal();
  Recursive = (*Params)[RecursiveParam].GetBoolean();
  const unsigned largest = std::max(WindowSize, MaxWindowSize);
  Window.resize(largest * largest);
}

void FoolishSmartMedianFilter::TransformPixel(unsigned x, unsigned y)
{
  const int cx = int(x), cy = int(y);
  const cBMPSurface* from = Recursive ? ResultSurface : SourceSurface;
  const uint8_t g = from->GetPixel(cx, cy);
  if (g != 0 && g != 255) return;
  const int largest = int(MaxWindowSize) * MaxWindowSize;
  int size = WindowSize;
  unsigned n = 0;
  for (;;) {
    const int high = size / 2, low = high - size + 1;
    unsigned impulses = 0;
    n = 0;
    for (int dx = low; dx <= high; ++dx)
      for (int dy = low; dy <= high; ++dy) {
        const uint8_t v = from->GetPixel(cx + dx, cy + dy);
        if (v == 0 || v == 255)
          ++impulses;
        else
          Window[n++] = v;
      }
    if (double(impulses) / double(size * size) < Threshold || size * size >= largest) break;
    ++size;
  }
  if (n > 0)
    ResultSurface->SetPixel(cx, cy, FindMedian(Window.data(), n));
  else  // only impulses around: repeat the value already restored left of the window
    ResultSurface->SetPixel(cx, cy, ResultSurface->GetPixel(cx - size / 2 - 1, cy));
}

acSingleChannelOperation::sRowForm FoolishSmartMedianFilter::RowForm() const
{
  // The window grows from WindowSize while it may, so the largest visited is the larger size.
  const int largest = std::max(WindowSize, MaxWindowSize);
  return {true, sWindowExtent::OfSize(largest, largest), true, Recursive};
}

// TransformPixel on window rows. Only impulses are worked on; the rest of out already holds
// the source. The fallback reads this row's results, written left to right as in the plain
// order (a span never reads another row's results, so rows stay independent).
void FoolishSmartMedianFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int channels = in.Channels;
  const int largest = std::max(WindowSize, MaxWindowSize);
  const int up = sWindowExtent::OfSize(largest, largest).Up;
  const int largestCount = int(MaxWindowSize) * MaxWindowSize;
  const uint8_t* centre = in.Rows[up];
  const uint8_t* results = ResultSurface->Row(in.Y);
  const int width = ResultSurface->GetWidth();
  thread_local std::vector<uint8_t> window;
  window.resize(size_t(largest) * size_t(largest));
  // Starting at 3 x 3 outside recursive runs, every sample of the run goes through vectors
  // first; an impulse keeps that answer when the 3 x 3 window stops the growth and has other
  // samples, and is worked on below otherwise, in the plain order.
  thread_local std::vector<uint8_t> alone, others;
  const bool vectors = WindowSize == 3 && !Recursive;
  if (vectors) {
    alone.resize(size_t(count * channels));
    others.resize(size_t(count * channels));
    const uint8_t* const* rows = in.Rows + up - 1;
    cImpulseMedianRows::ThreeByThree(rows, channels, out, alone.data(), count * channels, others.data());
  }
  const uint8_t* source = SourceSurface->Row(in.Y);
  // Through plain pointers: each use of a thread-local in a plug-in is a library call.
  const uint8_t* lonely = alone.data();
  const uint8_t* otherCounts = others.data();
  uint8_t* samples = window.data();
  for (int j = 0; j < count * channels; ++j) {
    if (centre[j] != 0 && centre[j] != 255) continue;
    const int i = j / channels, ch = j % channels;
    if (vectors) {
      const int impulses = 9 - otherCounts[j];
      if (double(impulses) / double(9) < Threshold || 9 >= largestCount) {
        if (!lonely[j]) continue;
        // The result it repeats lies left and is final, unless the mirror at the picture's
        // left edge sends it right, where the plain order still finds the source.
        const int x = in.X + i, from = kvFoldIndex(x - 3 / 2 - 1, width);
        const uint8_t* line = from < x ? results : source;
        out[j] = line[from * channels + ch];
        continue;
      }
    }
    int size = WindowSize;
    unsigned n = 0;
    for (;;) {
      const sWindowExtent w = sWindowExtent::OfSize(size, size);
      unsigned impulses = 0;
      n = 0;
      for (int dy = -w.Up; dy <= w.Down; ++dy) {
        const uint8_t* row = in.Rows[up + dy] + ch;
        for (int dx = -w.Left; dx <= w.Right; ++dx) {
          // Without branches: every sample written, the ones that are no impulse kept.
          const uint8_t v = row[(i + dx) * channels];
          const bool impulse = v == 0 || v == 255;
          samples[n] = v;
          n += !impulse;
          impulses += impulse;
        }
      }
      if (double(impulses) / double(size * size) < Threshold || size * size >= largestCount) break;
      ++size;
    }
    const int x = in.X + i, from = kvFoldIndex(x - size / 2 - 1, width);
    const uint8_t* line = from < x ? results : source;
    out[j] = n > 0 ? FindMedian(samples, n) : line[from * channels + ch];
  }
}
