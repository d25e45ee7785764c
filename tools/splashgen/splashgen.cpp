// Writes splash.bmp and mask.bmp: a strip of a sample picture whose salt-and-pepper density
// rises from left to right above a dark band for the texts, and a rounded-corner mask (white
// shows the splash, black lets the desktop through, grey edges blend).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "kvPixels/cBMPSurface.h"
#include "kvImages/cImage.h"

namespace {
constexpr int Width = 600;
constexpr int Height = 380;
constexpr int StripHeight = 230;
constexpr double CornerRadius = 22.0;
constexpr double MaxDensity = 0.6;

// A fixed generator: the picture is the same on every build.
uint32_t NextRandom(uint32_t& state)
{
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

// Coverage of the rounded rectangle at the pixel centre, with a one-pixel soft edge.
double MaskCoverage(int x, int y)
{
  const double px = x + 0.5, py = y + 0.5;
  const double cx = std::clamp(px, CornerRadius, Width - CornerRadius);
  const double cy = std::clamp(py, CornerRadius, Height - CornerRadius);
  const double d = std::hypot(px - cx, py - cy);
  return std::clamp(CornerRadius + 0.5 - d, 0.0, 1.0);
}
}  // namespace

int main(int argc, char** argv)
{
  if (argc != 3) {
    std::fprintf(stderr, "usage: kv_splashgen SAMPLE.bmp OUTPUT_FOLDER\n");
    return 2;
  }
  cImage sample;
  if (!sample.LoadImage(argv[1])) {
    std::fprintf(stderr, "kv_splashgen: cannot read %s\n", argv[1]);
    return 1;
  }
  const cBMPSurface& source = *sample.GetSurface();
  const int sc = source.GetChannelsCount();

  cBMPSurface splash, mask;
  splash.SetSize(Width, Height, 3);
  mask.SetSize(Width, Height, 3);
  uint32_t state = 20070927u;
  // The strip samples the source's middle band, scaled to the splash width.
  const double scale = double(source.GetWidth()) / Width;
  const int offsetY = std::max(0, int(source.GetHeight() * 0.18));
  for (int y = 0; y < Height; ++y) {
    uint8_t* row = splash.Row(y);
    uint8_t* maskRow = mask.Row(y);
    for (int x = 0; x < Width; ++x) {
      uint8_t bgr[3];
      if (y < StripHeight) {
        const int sx = std::min(source.GetWidth() - 1, int(x * scale));
        const int sy = std::min(source.GetHeight() - 1, offsetY + int(y * scale));
        for (int c = 0; c < 3; ++c) bgr[c] = source.Row(sy)[sc == 1 ? sx : 3 * sx + c];
        const double density = MaxDensity * x / (Width - 1);
        if ((NextRandom(state) % 10000) < uint32_t(density * 10000)) {
          const uint8_t v = (NextRandom(state) & 1) ? 255 : 0;
          bgr[0] = bgr[1] = bgr[2] = v;
        }
      } else {
        // A dark slate band, slightly lighter towards the top.
        const int shade = 34 + (Height - y) / 12;
        bgr[0] = uint8_t(shade + 14);
        bgr[1] = uint8_t(shade + 4);
        bgr[2] = uint8_t(shade);
      }
      const uint8_t m = uint8_t(std::lround(255.0 * MaskCoverage(x, y)));
      for (int c = 0; c < 3; ++c) {
        row[3 * x + c] = bgr[c];
        maskRow[3 * x + c] = m;
      }
    }
  }
  const std::string folder = argv[2];
  if (!splash.SaveImage(folder + "/splash.bmp") || !mask.SaveImage(folder + "/mask.bmp")) {
    std::fprintf(stderr, "kv_splashgen: cannot write into %s\n", argv[2]);
    return 1;
  }
  return 0;
}
