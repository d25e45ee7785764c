#include "FoolishDetectorMedianFilter.h"

#include <algorithm>

#include "FindMedian.h"
#include "cImpulseMedianRows.h"
#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("050pkMedian\\FoolishDetectorMedianFilter");

FoolishDetectorMedianFilter::FoolishDetectorMedianFilter()
{
  Describe("Foolish Detector Median Filter", "Detector Median Filters", otFilter, fmParamDialog);
  SizeParam = Params->AddInteger("Window size", 1, 27, 3);
  RecursiveParam = Params->AddBoolean("Recursive executing", false);
}

void FoolishDetectorMedianFilter::PreProcessing()
{
  WindowSize = uint8_t(std::clamp((*Params)[SizeParam].GetInteger(), 1, 255));
  Recursive = (*Params)[RecursiveParam].GetBoolean();
  Window.resize(unsigned(WindowSize) * WindowSize);
}

void FoolishDetectorMedianFilter::TransformPixel(unsigned x, unsigned y)
{
  const int cx = int(x), cy = int(y);
  const cBMPSurface* from = Recursive ? ResultSurface : SourceSurface;
  const uint8_t g = from->GetPixel(cx, cy);
  if (g != 0 && g != 255) return;
  const int high = WindowSize / 2, low = high - WindowSize + 1;
  unsigned n = 0;
  for (int dx = low; dx <= high; ++dx)
    for (int dy = low; dy <= high; ++dy) {
      const uint8_t v = from->GetPixel(cx + dx, cy + dy);
      if (v != 0 && v != 255) Window[n++] = v;
    }
  if (n > 0)
    ResultSurface->SetPixel(cx, cy, FindMedian(Window.data(), n));
  else  // only impulses around: repeat the value already restored left of the window
    ResultSurface->SetPixel(cx, cy, ResultSurface->GetPixel(cx - high - 1, cy));
}

acSingleChannelOperation::sRowForm FoolishDetectorMedianFilter::RowForm() const
{
  return {true, sWindowExtent::OfSize(WindowSize, WindowSize), true, Recursive};
}

// TransformPixel on window rows. Only impulses are worked on; the rest of out already holds
// the source. The fallback reads this row's results, written left to right as in the plain
// order (a span never reads another row's results, so rows stay independent).
void FoolishDetectorMedianFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int channels = in.Channels;
  const sWindowExtent w = sWindowExtent::OfSize(WindowSize, WindowSize);
  const uint8_t* centre = in.Rows[w.Up];
  const uint8_t* results = ResultSurface->Row(in.Y);
  const int width = ResultSurface->GetWidth();
  thread_local std::vector<uint8_t> window;
  window.resize(size_t(w.Width()) * size_t(w.Height()));
  if (WindowSize == 3 && !Recursive) {
    // All samples of the run through vectors, then the lonely impulses in the plain order:
    // the result they repeat lies left of them and is final by then, unless the mirror at the
    // picture's left edge sends them right, where the plain order still finds the source.
    thread_local std::vector<uint8_t> alone;
    alone.resize(size_t(count * channels));
    cImpulseMedianRows::ThreeByThree(in.Rows, channels, out, alone.data(), count * channels);
    const uint8_t* source = SourceSurface->Row(in.Y);
    // Through a plain pointer: each use of a thread-local in a plug-in is a library call.
    const uint8_t* lonely = alone.data();
    for (int j = 0; j < count * channels; ++j) {
      if (!lonely[j]) continue;
      const int x = in.X + j / channels, from = kvFoldIndex(x - w.Right - 1, width);
      const uint8_t* line = from < x ? results : source;
      out[j] = line[from * channels + j % channels];
    }
    return;
  }
  uint8_t* samples = window.data();
  for (int j = 0; j < count * channels; ++j) {
    if (centre[j] != 0 && centre[j] != 255) continue;
    const int i = j / channels, ch = j % channels;
    unsigned n = 0;
    for (int k = 0; k < w.Height(); ++k) {
      const uint8_t* row = in.Rows[k] + ch;
      for (int dx = -w.Left; dx <= w.Right; ++dx) {
        // Without branches: every sample written, the ones that are no impulse kept.
        const uint8_t v = row[(i + dx) * channels];
        samples[n] = v;
        n += v != 0 && v != 255;
      }
    }
    out[j] = n > 0 ? FindMedian(samples, n) : results[kvFoldIndex(in.X + i - w.Right - 1, width) * channels + ch];
  }
}
