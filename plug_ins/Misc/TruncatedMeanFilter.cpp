#include "TruncatedMeanFilter.h"

#include <algorithm>

#include "kvRuntime/kvDiagnostics.h"
#include "kvRuntime/kvVectorClones.h"

KV_UNIT("pkMisc\\TruncatedMeanFilter");

namespace {
// Windows of up to this many samples are sorted by the network, larger ones per sample.
constexpr int NetworkLimit = 64;
constexpr int Lanes = 64;

// Batcher's merge exchange for n inputs: comparators reaching past n are left out, which is
// the same network fed with maximal values there.
std::vector<std::pair<uint16_t, uint16_t>> SortingNetwork(int n)
{
  std::vector<std::pair<uint16_t, uint16_t>> steps;
  for (int p = 1; p < n; p <<= 1)
    for (int k = p; k >= 1; k >>= 1)
      for (int j = k % p; j + k < n; j += 2 * k)
        for (int i = 0; i < std::min(k, n - j - k); ++i)
          if ((i + j) / (2 * p) == (i + j + k) / (2 * p)) steps.emplace_back(uint16_t(i + j), uint16_t(i + j + k));
  return steps;
}

KV_VECTOR_CLONES void ApplyNetwork(const std::pair<uint16_t, uint16_t>* steps, size_t count, uint8_t* block)
{
  for (size_t s = 0; s < count; ++s) {
    uint8_t* a = block + size_t(steps[s].first) * Lanes;
    uint8_t* b = block + size_t(steps[s].second) * Lanes;
    for (int i = 0; i < Lanes; ++i) {
      const uint8_t lo = std::min(a[i], b[i]);
      const uint8_t hi = std::max(a[i], b[i]);
      a[i] = lo;
      b[i] = hi;
    }
  }
}
}  // namespace

TruncatedMeanFilter::TruncatedMeanFilter()
{
  Describe("Truncated Mean", "Misc Filters", otFilter, fmParamDialog);
  SizeParam = Params->AddInteger("Window size", 2, 27, 3);
  TruncationParam = Params->AddInteger("Size of truncation", 0, 26, 4);
  RecursiveParam = Params->AddBoolean("Recursive executing", false);
}

void TruncatedMeanFilter::PreProcessing()
{
  WindowSize = (*Params)[SizeParam].GetInteger();
  const int n = WindowSize * WindowSize;
  Truncation = (*Params)[TruncationParam].GetInteger();
  if (Truncation >= n) Truncation = n - 1;
  if (Truncation % 2 != 0) Truncation -= 1;
  Recursive = (*Params)[RecursiveParam].GetBoolean();
  Extent = sWindowExtent::OfSize(WindowSize, WindowSize);
  Buffer.resize(size_t(n));
  Network.clear();
  if (n <= NetworkLimit) {
    Network = SortingNetwork(n);
    // ceil(2^32 / d) divides every kept sum (below 2^14) exactly; checked on all of them.
    const uint64_t d = uint64_t(n - Truncation);
    Multiplier = ((uint64_t(1) << 32) + d - 1) / d;
    for (uint64_t s = 0; s <= d * 255; ++s) KV_ASSERT(((s * Multiplier) >> 32) == s / d, "exact division");
  }
}

void TruncatedMeanFilter::PostProcessing()
{
  Buffer.clear();
  Buffer.shrink_to_fit();
}

uint8_t TruncatedMeanFilter::KeptMean(uint8_t* v, int n) const
{
  const int drop = Truncation / 2;
  // Only the kept middle has to be in place: select its two ends, then sum between them.
  uint8_t* first = v + drop;
  uint8_t* last = v + n - drop;
  if (drop > 0) {
    std::nth_element(v, first, v + n);
    std::nth_element(first, last - 1, v + n);
  }
  unsigned sum = 0;
  for (uint8_t* p = first; p < last; ++p) sum += *p;
  return uint8_t(sum / unsigned(n - Truncation));
}

void TruncatedMeanFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = Recursive ? *ResultSurface : *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
  uint8_t* v = Buffer.data();
  for (int dx = -Extent.Left; dx <= Extent.Right; ++dx)
    for (int dy = -Extent.Up; dy <= Extent.Down; ++dy) *v++ = in.GetPixel(x + dx, y + dy);
  ResultSurface->SetPixel(x, y, KeptMean(Buffer.data(), int(Buffer.size())));
}

acSingleChannelOperation::sRowForm TruncatedMeanFilter::RowForm() const
{
  return {true, Extent, true, Recursive};
}

// The kept mean depends only on which values the window holds, not on their order.
void TruncatedMeanFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  if (!Network.empty()) {
    RowByNetwork(in, out, count);
    return;
  }
  const int channels = in.Channels;
  const int n = WindowSize * WindowSize;
  std::vector<uint8_t> window(size_t(n), 0);
  for (int i = 0; i < count; ++i)
    for (int c = 0; c < channels; ++c) {
      uint8_t* v = window.data();
      for (int dx = -Extent.Left; dx <= Extent.Right; ++dx)
        for (int k = 0; k < Extent.Height(); ++k) *v++ = in.Rows[k][(i + dx) * channels + c];
      out[i * channels + c] = KeptMean(window.data(), n);
    }
}

// Lanes neighbouring samples (of all channels alike) at a time: row e of the block holds window
// sample e of each, sorted in place by the network.
void TruncatedMeanFilter::RowByNetwork(const sWindowRows& in, uint8_t* out, int count) const
{
  const int channels = in.Channels;
  const int n = WindowSize * WindowSize;
  const int drop = Truncation / 2;
  const int samples = count * channels;
  std::vector<uint8_t> block(size_t(n) * Lanes, 0);
  for (int start = 0; start < samples; start += Lanes) {
    const int lanes = std::min(Lanes, samples - start);
    uint8_t* row = block.data();
    for (int dx = -Extent.Left; dx <= Extent.Right; ++dx)
      for (int k = 0; k < Extent.Height(); ++k, row += Lanes) {
        const uint8_t* from = in.Rows[k] + start + dx * channels;
        std::copy(from, from + lanes, row);
      }
    ApplyNetwork(Network.data(), Network.size(), block.data());
    uint32_t sums[Lanes] = {};
    for (int e = drop; e < n - drop; ++e) {
      const uint8_t* kept = block.data() + size_t(e) * Lanes;
      for (int i = 0; i < Lanes; ++i) sums[i] += kept[i];
    }
    for (int i = 0; i < lanes; ++i) out[start + i] = uint8_t((uint64_t(sums[i]) * Multiplier) >> 32);
  }
}
