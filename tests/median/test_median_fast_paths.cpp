// The row-wise paths of the detector and adaptive median filters against plain per-sample
// formulas, written here independently, on random pictures of awkward shapes.
#include <gtest/gtest.h>

#include <random>

#include "AdaptiveMedianFilter.h"
#include "FilterChecks.h"
#include "MedianReference.h"
#include "NASMFilter_New.h"
#include "PSMFilter.h"
#include "ParamSupport.h"
#include "cWindowMedians.h"

using namespace kvtest;

namespace {

// Smooth ramps with mild noise and salt-and-pepper, so detectors flag some samples but not
// all; `share` of 100 gives plain random bytes.
void NoisyPicture(cBMPSurface& s, int w, int h, int channels, uint32_t seed, unsigned share = 12)
{
  std::mt19937 rng(seed);
  kvtest::Fill(s, w, h, channels, [&](int x, int y, int c) {
    const unsigned r = rng() % 100;
    if (share >= 100) return uint8_t(rng());
    if (r < share / 2) return uint8_t(0);
    if (r < share) return uint8_t(255);
    return uint8_t((3 * x + 2 * y + 50 * c) % 200 + rng() % 9);
  });
}

int MirrorIndex(int i, int n)
{
  const int period = 2 * n;
  i %= period;
  if (i < 0) i += period;
  return i < n ? i : period - 1 - i;
}

struct sRegion {
  int Left, Top, Width, Height;
};

// One channel of the region as a plain 2-D array of ints.
using tPlane = std::vector<std::vector<int>>;

tPlane TakePlane(cBMPSurface& s, int c, const sRegion& g)
{
  tPlane p(size_t(g.Height), std::vector<int>(size_t(g.Width)));
  for (int r = 0; r < g.Height; ++r)
    for (int col = 0; col < g.Width; ++col) p[size_t(r)][size_t(col)] = kvtest::Pixel(s, g.Left + col, g.Top + r, c);
  return p;
}

void PutPlane(cBMPSurface& s, int c, const sRegion& g, const tPlane& p)
{
  s.CurrentChannel = c;
  for (int r = 0; r < g.Height; ++r)
    for (int col = 0; col < g.Width; ++col) s.SetPixel(g.Left + col, g.Top + r, uint8_t(p[size_t(r)][size_t(col)]));
}

// The progressive switching median written step by step: detection epochs on mirrored
// windows, then filtering passes over unflagged neighbours. `mirror` false gives the
// adaptive variant (windows clipped to the region, extremes as detector, no early stop).
tPlane ReferenceSwitching(tPlane x, int wd, int wf, int threshold, int epochs, bool psm)
{
  const int h = int(x.size()), w = int(x[0].size());
  const int lowD = Low(wd), highD = High(wd), lowF = Low(wf), highF = High(wf);
  tPlane f(size_t(h), std::vector<int>(size_t(w), 0));
  if (psm) {
    tPlane p = x, q = x, f0 = f;
    for (int e = 0; e < epochs; ++e) {
      for (int r = 0; r < h; ++r)
        for (int col = 0; col < w; ++col) {
          std::vector<uint8_t> v;
          for (int dr = lowD; dr <= highD; ++dr)
            for (int dc = lowD; dc <= highD; ++dc)
              v.push_back(uint8_t(p[size_t(MirrorIndex(r + dr, h))][size_t(MirrorIndex(col + dc, w))]));
          const int m = SortedMedian(v);
          if (std::abs(x[size_t(r)][size_t(col)] - m) < threshold) {
            f[size_t(r)][size_t(col)] = f0[size_t(r)][size_t(col)];
          } else {
            f[size_t(r)][size_t(col)] = 1;
            q[size_t(r)][size_t(col)] = m;
          }
        }
      p = q;
      f0 = f;
    }
  } else {
    for (int r = 0; r < h; ++r)
      for (int col = 0; col < w; ++col) {
        int lo = 255, hi = 0;
        for (int rr = std::max(0, r + lowD); rr <= std::min(h - 1, r + highD); ++rr)
          for (int cc = std::max(0, col + lowD); cc <= std::min(w - 1, col + highD); ++cc) {
            lo = std::min(lo, x[size_t(rr)][size_t(cc)]);
            hi = std::max(hi, x[size_t(rr)][size_t(cc)]);
          }
        f[size_t(r)][size_t(col)] = (lo < x[size_t(r)][size_t(col)] && x[size_t(r)][size_t(col)] < hi) ? 0 : 1;
      }
  }
  tPlane g = f, y = x;
  for (int pass = 1;; ++pass) {
    int resolved = 0, unresolved = 0;
    for (int r = 0; r < h; ++r)
      for (int col = 0; col < w; ++col) {
        if (g[size_t(r)][size_t(col)] != 1) continue;
        std::vector<uint8_t> v;
        for (int dr = lowF; dr <= highF; ++dr)
          for (int dc = lowF; dc <= highF; ++dc) {
            int rr = r + dr, cc = col + dc;
            if (psm) {
              rr = MirrorIndex(rr, h);
              cc = MirrorIndex(cc, w);
            } else if (rr < 0 || rr >= h || cc < 0 || cc >= w) {
              continue;
            }
            if (g[size_t(rr)][size_t(cc)] == 0) v.push_back(uint8_t(y[size_t(rr)][size_t(cc)]));
          }
        if (v.empty()) {
          ++unresolved;
        } else {
          x[size_t(r)][size_t(col)] = SortedMedian(v);
          f[size_t(r)][size_t(col)] = 0;
          ++resolved;
        }
      }
    if (unresolved == 0 || pass >= 100 || (psm && resolved == 0)) break;
    g = f;
    y = x;
  }
  return x;
}

struct sSwitchingCase {
  int W, H, Channels, Detector, Filter, Threshold, Epochs;
  sRegion Region;  // Width 0: whole picture
  unsigned Share;
};

void CheckSwitching(acOperation& op, bool psm, const sSwitchingCase& k, uint32_t seed)
{
  cImage source;
  NoisyPicture(*source.GetSurface(), k.W, k.H, k.Channels, seed, k.Share);
  SetParam(op, "Detector window size", k.Detector);
  SetParam(op, "Filter window size", k.Filter);
  if (psm) {
    SetParam(op, "Detector Treshold", k.Threshold);
    SetParam(op, "Detector epoch count", k.Epochs);
  }
  const bool whole = k.Region.Width == 0;
  const sRegion g = whole ? sRegion{0, 0, k.W, k.H} : k.Region;
  auto result = whole ? kvtest::RunOperation(op, source)
                      : RunOperation(op, source, sRect{g.Left, g.Top, g.Left + g.Width, g.Top + g.Height});
  cBMPSurface expected;
  expected.MakeCopyFrom(*source.GetSurface());
  for (int c = 0; c < k.Channels; ++c)
    PutPlane(
        expected, c, g,
        ReferenceSwitching(TakePlane(*source.GetSurface(), c, g), k.Detector, k.Filter, k.Threshold, k.Epochs, psm));
  EXPECT_TRUE(kvtest::SamePixels(*result->GetSurface(), expected))
      << op.GetName() << " " << k.W << "x" << k.H << "x" << k.Channels << " detector " << k.Detector << " filter "
      << k.Filter << " threshold " << k.Threshold << " epochs " << k.Epochs << " region " << g.Left << "," << g.Top
      << " " << g.Width << "x" << g.Height;
}

const sSwitchingCase SwitchingCases[] = {
    {37, 23, 1, 5, 3, 25, 3, {}, 12},
    {70, 9, 3, 5, 3, 25, 3, {}, 12},
    {131, 17, 1, 3, 5, 10, 1, {}, 12},
    {66, 12, 1, 4, 2, 30, 2, {}, 30},
    {29, 31, 1, 11, 3, 20, 5, {}, 12},
    {40, 19, 1, 12, 4, 20, 2, {}, 12},  // histogram path
    {23, 21, 1, 27, 27, 25, 2, {}, 12},
    {1, 17, 1, 5, 3, 25, 3, {}, 12},
    {13, 1, 3, 5, 3, 25, 3, {}, 12},
    {4, 3, 1, 9, 9, 25, 3, {}, 12},
    {2, 2, 3, 27, 27, 25, 3, {}, 100},
    {50, 40, 3, 5, 3, 25, 3, {7, 5, 31, 22}, 12},
    {50, 40, 1, 13, 3, 15, 3, {3, 11, 1, 20}, 12},
    {64, 20, 1, 1, 1, 0, 1, {}, 12},
    {45, 14, 1, 7, 5, 0, 3, {}, 100},
    {45, 14, 1, 7, 5, 255, 3, {}, 100},
};

}  // namespace

TEST(WindowMedians, EveryWindowSizeGivesTheLowerMiddleOfItsSamples)
{
  std::mt19937 rng(3);
  cWindowMedians medians;
  for (int size : {1, 2, 3, 4, 5, 7, 8, 11, 12, 15, 27})
    for (int width : {1, 5, 63, 64, 65, 150}) {
      const int stride = width + size - 1, rows = size + 2;
      std::vector<uint8_t> plane(size_t(stride) * size_t(rows));
      // Narrow value ranges bring ties, wide ones spread the histogram.
      const unsigned range = (width % 2) ? 4 : 256;
      for (auto& v : plane) v = uint8_t(rng() % range * (256 / range));
      medians.Build(size);
      std::vector<uint8_t> out(static_cast<size_t>(width));
      for (int r = 0; r < 3; ++r) {
        medians.Row(plane.data(), stride, r, width, out.data());
        for (int col = 0; col < width; ++col) {
          std::vector<uint8_t> v;
          for (int dr = 0; dr < size; ++dr)
            for (int dc = 0; dc < size; ++dc) v.push_back(plane[size_t(r + dr) * size_t(stride) + size_t(col + dc)]);
          ASSERT_EQ(out[size_t(col)], SortedMedian(v))
              << "size " << size << " width " << width << " row " << r << " column " << col;
        }
      }
    }
}

TEST(PSMFilter, RowWiseStagesEqualPlainFormulaOnRandomPictures)
{
  PSMFilter op;
  uint32_t seed = 10;
  for (const auto& k : SwitchingCases) CheckSwitching(op, true, k, seed++);
}

TEST(APSMFilter, RowWiseStagesEqualPlainFormulaOnRandomPictures)
{
  NASMFilter_New op;
  uint32_t seed = 40;
  for (const auto& k : SwitchingCases) CheckSwitching(op, false, k, seed++);
}

namespace {
// The adaptive median per sample in the driver's order (rows, columns, channels), reading the
// result itself when recursive; the centre sample always from the source. Every window is
// gathered whole and sorted: zmin and zmax are the ends of the sorted samples seen so far, so
// the growing window's bookkeeping is checked independently of the filter's running minimum
// and maximum. The window's middle comes from the filter's scalar selection routine, which is
// not always the exact median (the sort's middle would differ) and is pinned by worked
// examples of its own in test_median_filters.cpp.
void ReferenceAdaptiveMedian(cBMPSurface& source, cBMPSurface& out, int maxSize, bool recursive, sRect g)
{
  out.MakeCopyFrom(source);
  cBMPSurface& from = recursive ? out : source;
  for (int y = g.Top; y < g.Bottom; ++y)
    for (int x = g.Left; x < g.Right; ++x)
      for (int c = 0; c < source.GetChannelsCount(); ++c) {
        from.CurrentChannel = c;
        out.CurrentChannel = c;
        const uint8_t centre = kvtest::Pixel(source, x, y, c);
        std::vector<uint8_t> seen{centre};
        for (int size = 3; size <= maxSize; size += 2) {
          const int h = (size - 1) / 2;
          std::vector<uint8_t> window;
          for (int dx = -h; dx <= h; ++dx)
            for (int dy = -h; dy <= h; ++dy) window.push_back(from.GetPixel(x + dx, y + dy));
          seen.insert(seen.end(), window.begin(), window.end());
          std::sort(seen.begin(), seen.end());
          const uint8_t zmin = seen.front(), zmax = seen.back();
          const uint8_t med = AdaptiveMedianFilter::SelectMiddle(window.data(), unsigned(window.size()));
          if (zmin < med && med < zmax) {
            out.SetPixel(x, y, (zmin < centre && centre < zmax) ? centre : med);
            break;
          }
        }
      }
}
}  // namespace

TEST(AdaptiveMedianFilter, RowWisePathEqualsPlainFormulaOnRandomPictures)
{
  struct sCase {
    int W, H, Channels, MaxSize;
    sRect Region;  // right 0: whole picture
    unsigned Share;
  };
  const sCase cases[] = {{37, 23, 1, 3, {}, 12},
                         {70, 9, 3, 3, {}, 12},
                         {31, 17, 1, 5, {}, 30},
                         {26, 12, 3, 7, {}, 40},
                         {40, 30, 1, 4, {}, 30},
                         {9, 40, 1, 27, {}, 60},
                         {1, 17, 1, 5, {}, 30},
                         {13, 1, 3, 7, {}, 30},
                         {4, 3, 1, 9, {}, 30},
                         {2, 2, 3, 27, {}, 100},
                         {16, 16, 1, 1, {}, 30},
                         {16, 16, 1, 2, {}, 30},
                         {50, 40, 3, 5, {7, 5, 38, 27}, 30},
                         {50, 40, 1, 7, {0, 37, 50, 40}, 40},
                         {33, 31, 1, 11, {}, 100}};
  AdaptiveMedianFilter op;
  uint32_t seed = 90;
  for (const sCase& k : cases)
    for (bool recursive : {false, true}) {
      cImage source;
      NoisyPicture(*source.GetSurface(), k.W, k.H, k.Channels, seed++, k.Share);
      SetParam(op, "Max window size", k.MaxSize);
      SetParam(op, "Recursive executing", recursive);
      const bool whole = k.Region.Right == 0;
      const sRect g = whole ? sRect{0, 0, k.W, k.H} : k.Region;
      auto result = whole ? kvtest::RunOperation(op, source) : RunOperation(op, source, g);
      cBMPSurface expected;
      ReferenceAdaptiveMedian(*source.GetSurface(), expected, k.MaxSize, recursive, g);
      EXPECT_TRUE(kvtest::SamePixels(*result->GetSurface(), expected))
          << k.W << "x" << k.H << "x" << k.Channels << " max window " << k.MaxSize << " recursive " << recursive
          << " region " << g.Left << "," << g.Top << "-" << g.Right << "," << g.Bottom;
    }
}
