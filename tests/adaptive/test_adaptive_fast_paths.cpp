// The Lee filter's row-wise sliding sums against the plain per-sample formula.
#include <gtest/gtest.h>

#include <random>

#include "FilterChecks.h"
#include "LeeFilter.h"
#include "MedianReference.h"
#include "ParamSupport.h"

using namespace kvtest;

namespace {

struct sLeeWindow {
  int64_t Mean;
  int64_t Spread;
};

// Mean rounded up and sum of squared deviations from it, divided by one less than the count.
sLeeWindow LeeWindow(cBMPSurface& s, int x, int y, int w, int c)
{
  s.CurrentChannel = c;
  std::vector<int64_t> v;
  for (int dx = Low(w); dx <= High(w); ++dx)
    for (int dy = Low(w); dy <= High(w); ++dy) v.push_back(s.GetPixel(x + dx, y + dy));
  const int64_t n = int64_t(v.size());
  int64_t sum = 0;
  for (int64_t a : v) sum += a;
  const int64_t m = (sum + n - 1) / n;
  int64_t deviations = 0;
  for (int64_t a : v) deviations += (a - m) * (a - m);
  return {m, n > 1 ? deviations / (n - 1) : 0};
}

void ReferenceLee(cBMPSurface& source, cBMPSurface& out, int w, sRect g)
{
  const int channels = source.GetChannelsCount();
  double total = 0;
  for (int c = 0; c < channels; ++c) {
    int64_t sum = 0, blocks = 0;
    for (int y = g.Top; y < g.Bottom; y += w)
      for (int x = g.Left; x < g.Right; x += w) {
        sum += LeeWindow(source, x, y, w, c).Spread;
        ++blocks;
      }
    if (blocks > 0) total += double(sum) / double(blocks);
  }
  const double noise = total / channels;
  out.MakeCopyFrom(source);
  for (int y = g.Top; y < g.Bottom; ++y)
    for (int x = g.Left; x < g.Right; ++x)
      for (int c = 0; c < channels; ++c) {
        const sLeeWindow s = LeeWindow(source, x, y, w, c);
        out.CurrentChannel = c;
        out.SetPixel(x, y, double(s.Spread) > noise ? kvtest::Pixel(source, x, y, c) : uint8_t(s.Mean));
      }
}

}  // namespace

TEST(LeeFilter, RowWiseSumsEqualPlainFormulaOnRandomPictures)
{
  struct sCase {
    int W, H, Channels, Window;
    sRect Region;  // right 0: whole picture
  };
  const sCase cases[] = {{37, 23, 1, 7, {}},
                         {70, 9, 3, 7, {}},
                         {31, 17, 1, 3, {}},
                         {26, 12, 3, 4, {}},
                         {20, 20, 1, 2, {}},
                         {9, 40, 1, 27, {}},
                         {1, 17, 1, 5, {}},
                         {13, 1, 3, 7, {}},
                         {4, 3, 1, 9, {}},
                         {2, 2, 3, 27, {}},
                         {16, 16, 1, 1, {}},
                         {50, 40, 3, 7, {7, 5, 38, 27}},
                         {50, 40, 1, 6, {0, 39, 50, 40}},
                         {50, 40, 1, 5, {49, 0, 50, 40}}};
  LeeFilter op;
  uint32_t seed = 70;
  for (const sCase& k : cases) {
    cImage source;
    std::mt19937 rng(seed++);
    // Quiet ramps in one half and noise in the other, so both kinds of window occur.
    kvtest::Fill(*source.GetSurface(), k.W, k.H, k.Channels,
                 [&](int x, int y, int c) { return uint8_t(x < k.W / 2 ? (x + y + 40 * c) % 256 : rng() % 256); });
    SetParam(op, "Window size", k.Window);
    const bool whole = k.Region.Right == 0;
    const sRect g = whole ? sRect{0, 0, k.W, k.H} : k.Region;
    auto result = whole ? kvtest::RunOperation(op, source) : RunOperation(op, source, g);
    cBMPSurface expected;
    ReferenceLee(*source.GetSurface(), expected, k.Window, g);
    EXPECT_TRUE(kvtest::SamePixels(*result->GetSurface(), expected))
        << k.W << "x" << k.H << "x" << k.Channels << " window " << k.Window << " region " << g.Left << "," << g.Top
        << "-" << g.Right << "," << g.Bottom;
  }
}
