#pragma once
// Helpers for the noise tests: flat pictures and a
// replay that recomputes a noise sample by sample from the shared generator, in the
// documented order of draws.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "KvTestSupport.h"
#include "ParamSupport.h"
#include "kvOperations/acOperation.h"
#include "kvOperations/cRandomGenerator.h"

namespace noisetest {

inline void Flat(cImage& image, int w, int h, int channels, uint8_t value)
{
  kvtest::Fill(*image.GetSurface(), w, h, channels, [value](int, int, int) { return value; });
}

// What one sample becomes, drawing through ::Random / ::RandG; nullopt when nothing is written.
using tSampleModel = std::function<std::optional<uint8_t>(uint8_t g)>;

// The expected picture: a copy of source with the region visited row, pixel, channel, through
// the surface's own (border-folding) pixel access.
inline void Replay(cBMPSurface& expected, cBMPSurface& source, const sRect& region, const tSampleModel& model)
{
  expected.MakeCopyFrom(source);
  for (int y = region.Top; y < region.Bottom; ++y)
    for (int x = region.Left; x < region.Right; ++x)
      for (int c = 0; c < source.GetChannelsCount(); ++c) {
        source.CurrentChannel = c;
        expected.CurrentChannel = c;
        if (auto v = model(source.GetPixel(x, y))) expected.SetPixel(x, y, *v);
      }
}

inline uint8_t Clamp(double v)
{
  return v <= 0 ? 0 : v >= 255 ? 255 : uint8_t(v);
}

// Counts of each value in one channel of a region.
inline std::array<long, 256> Histogram(cBMPSurface& s, int c = 0)
{
  std::array<long, 256> h{};
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x) ++h[kvtest::Pixel(s, x, y, c)];
  return h;
}

// The documented sample rules, drawing from the shared generator in the documented order.
inline double Half(double v)
{
  return std::floor(v + 0.5);
}

inline tSampleModel GaussianModel(float mean, float sigma)
{
  return [=](uint8_t g) -> std::optional<uint8_t> { return Clamp(g + Half(RandG(mean, sigma))); };
}
inline tSampleModel ExponentialModel(double a)
{
  return [=](uint8_t g) -> std::optional<uint8_t> {
    const double u = Random(10000) * 0.0001;
    if (a == 0) return g;
    return Clamp(std::trunc(g + -std::log(1 - u) / a));
  };
}
inline tSampleModel RayleighModel(double a, double b)
{
  return [=](uint8_t g) -> std::optional<uint8_t> {
    const double u = Random(10000) * 0.0001;
    const double z = a + std::sqrt(-b * std::log(1 - u));
    return Clamp(std::trunc(g + z));
  };
}
inline tSampleModel SpeckleModel(float sigma, float c)
{
  return [=](uint8_t g) -> std::optional<uint8_t> {
    const double n = Half(RandG(0, sigma));
    return Clamp(std::trunc(g + c * std::sqrt(double(g)) * n));
  };
}
// The impulse noises, given how many of the draws r = 0..99 hit.
inline tSampleModel SaltAndPepperModel(unsigned hits)
{
  return [=](uint8_t g) -> std::optional<uint8_t> {
    if (Random(100) >= hits) return g;
    return Random(100) >= 50 ? 255 : 0;
  };
}
inline tSampleModel FixedImpulseModel(unsigned hits, uint8_t value)
{
  return [=](uint8_t) -> std::optional<uint8_t> {
    if (Random(100) < hits) return value;
    return std::nullopt;
  };
}
inline tSampleModel UniformImpulseModel(unsigned hits)
{
  return [=](uint8_t) -> std::optional<uint8_t> {
    const unsigned r = Random(100);
    const uint8_t v = uint8_t(Random(256));
    if (r < hits) return v;
    return std::nullopt;
  };
}
inline tSampleModel GaussianImpulseModel(unsigned hits, float mean, float sd)
{
  return [=](uint8_t) -> std::optional<uint8_t> {
    if (Random(100) >= hits) return std::nullopt;
    return Clamp(Half(RandG(mean, sd)));
  };
}

// Runs op with the generator at seed, and replays model from the same state (after the
// reseed the operation makes, when it makes one); both pictures are returned.
// The kernel clips a processing rectangle to the picture before the run.
inline sRect ClippedTo(const sRect& r, const cBMPSurface& s)
{
  const int w = s.GetWidth(), h = s.GetHeight();
  sRect c{std::clamp(r.Left, 0, w), std::clamp(r.Top, 0, h), std::clamp(r.Right, 0, w), std::clamp(r.Bottom, 0, h)};
  c.Right = std::max(c.Right, c.Left);
  c.Bottom = std::max(c.Bottom, c.Top);
  return c;
}

struct sRunAndReplay {
  std::unique_ptr<cImage> Result;
  cBMPSurface Expected;
};
inline std::unique_ptr<sRunAndReplay> RunAndReplay(acOperation& op, cImage& source, const sRect& region, bool reseeds,
                                                   const tSampleModel& model, uint64_t seed = 1234)
{
  auto out = std::make_unique<sRunAndReplay>();
  cRandomGenerator::SetSeed(seed);
  out->Result = kvtest::RunOperation(op, source, region);
  cRandomGenerator::SetSeed(seed);
  if (reseeds) Randomize();
  Replay(out->Expected, *source.GetSurface(), ClippedTo(region, *source.GetSurface()), model);
  return out;
}

inline sRect WholeOf(cImage& image)
{
  return sRect{0, 0, image.GetWidth(), image.GetHeight()};
}

}  // namespace noisetest
