// The filter's table-driven, unfolded interior path against a plain transcription of the
// rebuilding rules, on random pictures of awkward sizes and impulse densities.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <numbers>
#include <random>
#include <vector>

#include "AdaptiveMeanFilter.h"
#include "KvTestSupport.h"

namespace {

struct sEntry {
  float D, A, V;
};

class PlainTamsel {
public:
  PlainTamsel()
  {
    std::ifstream in(std::string(KV_BIN_DIR) + "/math.dat", std::ios::binary);
    std::vector<char> bytes(20000);
    in.read(bytes.data(), 20000);
    Tables.resize(5000);
    std::memcpy(Tables.data(), bytes.data(), 20000);  // the build machine is little-endian
  }

  void Run(cBMPSurface& in, cBMPSurface& out)
  {
    W = in.GetWidth();
    H = in.GetHeight();
    out.MakeCopyFrom(in);
    for (int c = 0; c < in.GetChannelsCount(); ++c) {
      int zeros = 0, fulls = 0;
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          const uint8_t v = kvtest::Pixel(in, x, y, c);
          zeros += v == 0;
          fulls += v == 255;
        }
      if (zeros == 0 || fulls == 0 || zeros + fulls == W * H) continue;
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
          if (!Good(in, x, y, c)) {
            out.CurrentChannel = c;
            out.SetPixel(x, y, Rebuild(in, x, y, c));
          }
    }
  }

private:
  static int Mirror(int u, int n)
  {
    while (u < 0 || u >= n) {
      if (u < 0) u = -1 - u;
      if (u >= n) u = 2 * n - 1 - u;
    }
    return u;
  }
  bool Good(cBMPSurface& s, int x, int y, int c) const
  {
    const uint8_t v = kvtest::Pixel(s, Mirror(x, W), Mirror(y, H), c);
    return v != 0 && v != 255;
  }
  float Dist(int dx, int dy) const
  {
    if (dx == 0) return float(std::abs(dy));
    if (dy == 0) return float(std::abs(dx));
    if (std::abs(dx) > 50 || std::abs(dy) > 50) return float(std::hypot(double(dx), double(dy)));
    return Tables[size_t(std::abs(dy) - 1) * 50 + size_t(std::abs(dx) - 1)];
  }
  float Ang(int dx, int dy) const
  {
    const float pi = std::numbers::pi_v<float>;
    if (dx == 0) return dy > 0 ? pi / 2 : 3 * pi / 2;
    if (dy == 0) return dx > 0 ? 0.0f : pi;
    const float a = (std::abs(dx) > 50 || std::abs(dy) > 50)
                        ? float(std::atan2(double(std::abs(dy)), double(std::abs(dx))))
                        : Tables[2500 + size_t(std::abs(dy) - 1) * 50 + size_t(std::abs(dx) - 1)];
    if (dx > 0) return dy > 0 ? a : 2 * pi - a;
    return dy > 0 ? pi - a : pi + a;
  }
  static bool Accept(const sEntry& r, float d, float a)
  {
    float delta = std::fabs(a - r.A);
    const float other = std::fabs(delta - 2 * std::numbers::pi_v<float>);
    if (other < delta && other > 0) delta = other;
    return (0.9f * delta + 1.0f) * r.D > d;
  }
  static void Insert(std::vector<sEntry>& list, size_t first, float& minimum, const sEntry& e)
  {
    if (e.D < minimum) {
      minimum = e.D;
      if (list.size() > first) {
        const sEntry previous = list[first];
        list[first] = e;
        list.push_back(previous);
      } else {
        list.push_back(e);
      }
    } else {
      list.push_back(e);
    }
  }

  uint8_t Rebuild(cBMPSurface& in, int x, int y, int c)
  {
    float best = 1e30f;
    int bx = 0, by = 0;
    bool found = false;
    for (int r = 1; !found; ++r) {
      std::vector<std::pair<int, int>> ring;
      for (int dx = -r; dx <= r; ++dx) ring.push_back({dx, -r});
      for (int dx = -r; dx <= r; ++dx) ring.push_back({dx, r});
      for (int dy = -r + 1; dy <= r - 1; ++dy) ring.push_back({-r, dy});
      for (int dy = -r + 1; dy <= r - 1; ++dy) ring.push_back({r, dy});
      for (auto [dx, dy] : ring)
        if (Good(in, x + dx, y + dy, c) && Dist(dx, dy) < best) {
          best = Dist(dx, dy);
          bx = Mirror(x + dx, W);
          by = Mirror(y + dy, H);
          found = true;
        }
    }
    const sEntry nearest{best, Ang(bx - x, by - y), float(kvtest::Pixel(in, bx, by, c))};
    const int radius = std::min(50, int(std::floor((0.9 * std::numbers::pi + 1) * best * 0.5 + 0.5)));
    std::vector<sEntry> list{nearest};
    float minimum = 100;
    for (int dy = -radius; dy <= radius; ++dy)
      for (int dx = -radius; dx <= radius; ++dx)
        if (Good(in, x + dx, y + dy, c) && Accept(nearest, Dist(dx, dy), Ang(dx, dy)))
          Insert(list, 1, minimum,
                 sEntry{Dist(dx, dy), Ang(dx, dy), float(kvtest::Pixel(in, Mirror(x + dx, W), Mirror(y + dy, H), c))});
    for (size_t k = 2; k < list.size(); ++k) {
      std::vector<sEntry> kept(list.begin(), list.begin() + ptrdiff_t(k));
      minimum = 100;
      for (size_t i = k; i < list.size(); ++i)
        if (Accept(list[k - 1], list[i].D, list[i].A)) Insert(kept, k, minimum, list[i]);
      list = kept;
    }
    float num = 0, den = 0;
    for (const sEntry& e : list) {
      num += e.V / (e.D * e.D);
      den += 1.0f / (e.D * e.D);
    }
    return uint8_t(std::floor(num / den + 0.5f));
  }

  std::vector<float> Tables;
  int W = 0, H = 0;
};

}  // namespace

TEST(TamselAgainstPlainRules, SameSamplesOnRandomPictures)
{
  AdaptiveMeanFilter::SetDataFolder(KV_BIN_DIR);
  AdaptiveMeanFilter filter;
  PlainTamsel plain;
  std::mt19937 rng(99);
  for (int trial = 0; trial < 60; ++trial) {
    const int w = 1 + int(rng() % 40);
    const int h = 1 + int(rng() % 40);
    const int channels = trial % 3 == 0 ? 3 : 1;
    const double density = (trial % 4 + 1) * 0.22;
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    cImage source;
    source.SetSize(w, h, channels);
    kvtest::Fill(*source.GetSurface(), w, h, channels, [&](int, int, int) {
      const double u = uniform(rng);
      if (u < density) return uint8_t(u < density / 2 ? 0 : 255);
      return uint8_t(1 + rng() % 254);
    });
    auto result = kvtest::RunOperation(filter, source);
    cBMPSurface expected;
    plain.Run(*source.GetSurface(), expected);
    ASSERT_TRUE(kvtest::SamePixels(*result->GetSurface(), expected)) << "trial " << trial << ": " << w << "x" << h;
  }
  AdaptiveMeanFilter::SetDataFolder("");
}
