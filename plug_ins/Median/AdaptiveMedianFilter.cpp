#include "AdaptiveMedianFilter.h"

#include <algorithm>
#include <utility>

#include "cAdaptiveMedianRows.h"
#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("050pkMedian\\AdaptiveMedianFilter");

AdaptiveMedianFilter::AdaptiveMedianFilter()
{
  Describe("Adaptive Median Filter", "Median Filters", otFilter, fmParamDialog);
  MaxSizeParam = Params->AddInteger("Max window size", 1, 27, 3);
  RecursiveParam = Params->AddBoolean("Recursive executing", false);
}

void AdaptiveMedianFilter::PreProcessing()
{
  MaxWindowSize = uint8_t(std::clamp((*Params)[MaxSizeParam].GetInteger(), 0, 255));
  Recursive = (*Params)[RecursiveParam].GetBoolean();
  const unsigned largest = std::max(3u, unsigned(MaxWindowSize));
  Window.resize(largest * largest);
}

acSingleChannelOperation::sRowForm AdaptiveMedianFilter::RowForm() const
{
  // Half side of the largest window visited (none below 3).
  const int reach = MaxWindowSize >= 3 ? (MaxWindowSize - 1) / 2 : 0;
  return {true, sWindowExtent::OfRadius(reach), true, Recursive};
}

// TransformPixel on window rows. Outside recursive runs the 3 x 3 step of a whole run of
// samples goes through vectors that replay the selection routine exactly; only the samples it
// leaves unsettled try the larger windows.
void AdaptiveMedianFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int channels = in.Channels;
  const int reach = MaxWindowSize >= 3 ? (MaxWindowSize - 1) / 2 : 0;
  if (reach == 0) return;
  // The sample itself always comes from the source, also in recursive runs.
  const uint8_t* source = SourceSurface->Row(in.Y) + in.X * channels;
  thread_local std::vector<uint8_t> window, settled;
  window.resize(size_t(2 * reach + 1) * size_t(2 * reach + 1));
  if (Recursive) {
    for (int i = 0; i < count; ++i)
      for (int ch = 0; ch < channels; ++ch) ByGrowingWindows(in, source, i, ch, out, window.data());
    return;
  }
  const int n = count * channels;
  settled.resize(size_t(n));
  cAdaptiveMedianRows::ThreeByThree(in.Rows + reach - 1, channels, out, settled.data(), n);
  if (reach == 1) return;
  // Through plain pointers: each use of a thread-local in a plug-in is a library call.
  const uint8_t* done = settled.data();
  uint8_t* samples = window.data();
  for (int j = 0; j < n; ++j)
    if (!done[j]) ByGrowingWindows(in, source, j / channels, j % channels, out, samples);
}

void AdaptiveMedianFilter::ByGrowingWindows(const sWindowRows& in, const uint8_t* source, int i, int ch, uint8_t* out,
                                            uint8_t* window) const
{
  const int channels = in.Channels;
  const int reach = (MaxWindowSize - 1) / 2;
  const uint8_t c = source[i * channels + ch];
  uint8_t zmin = c, zmax = c;
  for (int h = 1; h <= reach; ++h) {
    unsigned n = 0;
    for (int dx = -h; dx <= h; ++dx) {
      const int offset = (i + dx) * channels + ch;
      for (int dy = -h; dy <= h; ++dy) window[n++] = in.Rows[reach + dy][offset];
    }
    for (unsigned k = 0; k < n; ++k) {
      zmin = std::min(zmin, window[k]);
      zmax = std::max(zmax, window[k]);
    }
    const uint8_t med = SelectMiddle(window, n);
    if (zmin < med && med < zmax) {
      out[i * channels + ch] = (zmin < c && c < zmax) ? c : med;
      return;
    }
  }
}

void AdaptiveMedianFilter::TransformPixel(unsigned x, unsigned y)
{
  const int cx = int(x), cy = int(y);
  // The sample itself always comes from the source, also in recursive runs.
  const uint8_t c = SourceSurface->GetPixel(cx, cy);
  const cBMPSurface* from = Recursive ? ResultSurface : SourceSurface;
  uint8_t zmin = c, zmax = c;
  for (int size = 3; size <= int(MaxWindowSize); size += 2) {
    const int h = (size - 1) / 2;
    unsigned n = 0;
    for (int dx = -h; dx <= h; ++dx)
      for (int dy = -h; dy <= h; ++dy) {
        const uint8_t v = from->GetPixel(cx + dx, cy + dy);
        Window[n++] = v;
        zmin = std::min(zmin, v);
        zmax = std::max(zmax, v);
      }
    const uint8_t med = SelectMiddle(Window.data(), n);
    if (zmin < med && med < zmax) {
      ResultSurface->SetPixel(cx, cy, (zmin < c && c < zmax) ? c : med);
      return;
    }
  }
}

uint8_t AdaptiveMedianFilter::SelectMiddle(uint8_t* b, unsigned count)
{
  const unsigned m = count / 2;
  unsigned i = 0, j = count - 1;
  // The two ends meet in the middle only for an odd count.
  if (count == 0 || count % 2 == 0 || i == j) return count ? b[m] : 0;
  do {
    bool up = false, down = false;
    if (b[i] > b[m]) {
      std::swap(b[i], b[m]);
      up = true;
    }
    if (b[j] < b[m]) {
      std::swap(b[j], b[m]);
      down = !up;
    }
    if (b[i] > b[m]) {
      up = !(up || down);
      std::swap(b[i], b[m]);
    }
    ++i;
    --j;
    if (up) {
      unsigned best = m;
      for (unsigned k = j + 1; k < count; ++k)
        if (b[k] < b[best]) best = k;
      std::swap(b[best], b[m]);
    } else if (down) {
      unsigned best = m;
      for (unsigned k = 0; k < m; ++k)
        if (b[k] > b[best]) best = k;
      std::swap(b[best], b[m]);
    }
  } while (i != j);
  return b[m];
}
