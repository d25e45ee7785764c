#pragma once
// The windowed indices by their plain per-pixel definition (two passes over every window,
// reads through the border rules), as the reference the fast computation must reproduce.
#include <cmath>
#include <functional>
#include <vector>

#include "kvPixels/cBMPSurface.h"

namespace plain {

struct sStats {
  double MeanA, MeanB, VarA, VarB, Cov;
};

using tSample = std::function<double(int, int)>;

// Window offsets -(W div 2) .. +(W div 2); N counts the pixels the offsets cover.
inline sStats Window(const tSample& a, const tSample& b, int x, int y, int W, int H)
{
  const int rx = std::max(W, 1) / 2, ry = std::max(H, 1) / 2;
  const double n = double(2 * rx + 1) * double(2 * ry + 1);
  double sa = 0, sb = 0;
  for (int dy = -ry; dy <= ry; ++dy)
    for (int dx = -rx; dx <= rx; ++dx) {
      sa += a(x + dx, y + dy);
      sb += b(x + dx, y + dy);
    }
  sStats s{sa / n, sb / n, 0, 0, 0};
  for (int dy = -ry; dy <= ry; ++dy)
    for (int dx = -rx; dx <= rx; ++dx) {
      const double da = a(x + dx, y + dy) - s.MeanA, db = b(x + dx, y + dy) - s.MeanB;
      s.VarA += da * da;
      s.VarB += db * db;
      s.Cov += da * db;
    }
  const double divisor = n > 1 ? n - 1 : 1;
  s.VarA /= divisor;
  s.VarB /= divisor;
  s.Cov /= divisor;
  return s;
}

inline double Q(const sStats& s)
{
  if (s.MeanA == 0 && s.MeanB == 0) return 1;
  if (s.VarA == 0 && s.VarB == 0) return 1;
  return 4 * s.Cov * s.MeanA * s.MeanB / ((s.MeanA * s.MeanA + s.MeanB * s.MeanB) * (s.VarA + s.VarB));
}

inline double S(const sStats& s, double k1, double k2)
{
  const double c1 = (k1 * 255) * (k1 * 255), c2 = (k2 * 255) * (k2 * 255), c3 = c2 / 2;
  const double sigma = std::sqrt(s.VarA * s.VarB);
  return ((2 * s.MeanA * s.MeanB + c1) / (s.MeanA * s.MeanA + s.MeanB * s.MeanB + c1)) *
         ((2 * sigma + c2) / (s.VarA + s.VarB + c2)) * ((s.Cov + c3) / (sigma + c3));
}

inline tSample SurfaceSample(cBMPSurface& s, int channel)
{
  return [&s, channel](int x, int y) {
    s.CurrentChannel = channel;
    return double(s.GetPixel(x, y));
  };
}

inline double MeanOver(int w, int h, const std::function<double(int, int)>& f)
{
  double sum = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) sum += f(x, y);
  return sum / (double(w) * h);
}

inline double IQ(cBMPSurface& a, cBMPSurface& b, int channel, int W, int H)
{
  auto sa = SurfaceSample(a, channel), sb = SurfaceSample(b, channel);
  return MeanOver(a.GetWidth(), a.GetHeight(), [&](int x, int y) { return Q(Window(sa, sb, x, y, W, H)); });
}

inline double SSIM(cBMPSurface& a, cBMPSurface& b, int channel, int W, int H, double k1 = 0.01, double k2 = 0.03)
{
  auto sa = SurfaceSample(a, channel), sb = SurfaceSample(b, channel);
  return MeanOver(a.GetWidth(), a.GetHeight(), [&](int x, int y) { return S(Window(sa, sb, x, y, W, H), k1, k2); });
}

// Subband rule: t < 0 -> -t - 1, t >= n -> 2n - t - 1, applied until inside.
inline int Fold(int t, int n)
{
  while (t < 0 || t >= n) t = t < 0 ? -t - 1 : 2 * n - t - 1;
  return t;
}

inline double PlaneIQ(const std::vector<double>& a, const std::vector<double>& b, int w, int h, int W, int H)
{
  tSample sa = [&](int x, int y) { return a[size_t(Fold(y, h)) * w + Fold(x, w)]; };
  tSample sb = [&](int x, int y) { return b[size_t(Fold(y, h)) * w + Fold(x, w)]; };
  return MeanOver(w, h, [&](int x, int y) { return Q(Window(sa, sb, x, y, W, H)); });
}

}  // namespace plain
