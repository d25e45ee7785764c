#pragma once
// Helpers for the restoration filter tests: parameter setting, reference formulas written
// independently of the filters, impulse corruption and PSNR.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "KvTestSupport.h"
#include "kvOperations/acOperation.h"

namespace filtertest {

inline void SetInt(acOperation& op, unsigned index, int value) { op.GetParams()->GetParam(index)->SetValue(value); }
inline void SetBool(acOperation& op, unsigned index, bool value) { op.GetParams()->GetParam(index)->SetValue(value); }
inline void SetReal(acOperation& op, unsigned index, double value) { op.GetParams()->GetParam(index)->SetValue(value); }

inline uint8_t SortedMedian(std::vector<uint8_t> v)
{
  std::sort(v.begin(), v.end());
  return v[(v.size() - 1) / 2];
}

// First and last window offset for size w: odd sizes centred, even sizes one further right.
inline int Low(int w) { return w % 2 ? -(w - 1) / 2 : -(w / 2 - 1); }
inline int High(int w) { return w % 2 ? (w - 1) / 2 : w / 2; }

// Plain median filter over the whole picture in the driver's order (rows, columns, channels),
// reading the result itself when recursive.
inline void ReferenceMedian(cBMPSurface& source, cBMPSurface& out, int w, int h, bool recursive)
{
  out.MakeCopyFrom(source);
  const int lowX = Low(w), highX = High(w), lowY = Low(h), highY = High(h);
  cBMPSurface& from = recursive ? out : source;
  for (int y = 0; y < source.GetHeight(); ++y)
    for (int x = 0; x < source.GetWidth(); ++x)
      for (int c = 0; c < source.GetChannelsCount(); ++c) {
        from.CurrentChannel = c;
        out.CurrentChannel = c;
        std::vector<uint8_t> v;
        for (int dy = lowY; dy <= highY; ++dy)
          for (int dx = lowX; dx <= highX; ++dx) v.push_back(from.GetPixel(x + dx, y + dy));
        const uint8_t m = SortedMedian(v);
        out.CurrentChannel = c;
        out.SetPixel(x, y, m);
      }
}

// Salt and pepper: each sample of every channel becomes 0 or 255 with the given probability.
inline void AddImpulses(cBMPSurface& s, double probability, uint32_t seed)
{
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> share(0.0, 1.0);
  const int rowBytes = s.GetWidth() * s.GetChannelsCount();
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int i = 0; i < rowBytes; ++i)
      if (share(rng) < probability) s.Row(y)[i] = (rng() & 1) ? 255 : 0;
}

inline double PSNR(cBMPSurface& a, cBMPSurface& b)
{
  double mse = 0;
  for (int c = 0; c < a.GetChannelsCount(); ++c) mse += kvtest::MSE(a, b, c);
  mse /= a.GetChannelsCount();
  return mse > 0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : 1000.0;
}

// One channel of a colour picture as a grey picture.
inline void ExtractChannel(cBMPSurface& colour, int c, cBMPSurface& grey)
{
  kvtest::Fill(grey, colour.GetWidth(), colour.GetHeight(), 1, [&](int x, int y, int) { return kvtest::Pixel(colour, x, y, c); });
}

// Runs op on the region rect (right and bottom exclusive) of source.
inline std::unique_ptr<cImage> RunOnRegion(acOperation& op, cImage& source, sRect rect)
{
  auto result = std::make_unique<cImage>();
  result->SetWholeImage(false);
  result->SetProcessingRect(rect);
  op.SetInterfaces(&source, result.get());
  tTerminateFlag terminated{false};
  op.Execute(terminated);
  return result;
}

// A colour picture must come out as if each channel were filtered as a grey picture alone.
inline ::testing::AssertionResult ChannelsIndependent(acOperation& op, cImage& colour)
{
  auto whole = kvtest::RunOperation(op, colour);
  for (int c = 0; c < 3; ++c) {
    cImage grey;
    ExtractChannel(*colour.GetSurface(), c, *grey.GetSurface());
    auto alone = kvtest::RunOperation(op, grey);
    cBMPSurface part;
    ExtractChannel(*whole->GetSurface(), c, part);
    if (!kvtest::SamePixels(part, *alone->GetSurface()))
      return ::testing::AssertionFailure() << op.GetName() << ": channel " << c << " differs from its grey run";
  }
  return ::testing::AssertionSuccess();
}

}  // namespace filtertest
