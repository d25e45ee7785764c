// "Bicubic" against the plain construction it replaced: one natural spline built by ALGLIB per
// source column, then one per intermediate row. Results must match to the last bit, so the
// table has pictures whose exact spline values are whole numbers (ramps sampled on their own
// nodes), where a value one rounding below the integer truncates to the next lower sample.
#include <gtest/gtest.h>

#include <interpolation.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "KvTestSupport.h"
#include "ParamSupport.h"
#include "kvOperations/cResampleOperation.h"

namespace {

// The one-line-at-a-time resampler, kept as it was.
class cReferenceLine {
public:
  cReferenceLine(int n, int m) : N(n), M(m)
  {
    if (N >= 2) {
      Nodes.setlength(N);
      Values.setlength(N);
      for (int i = 0; i < N; ++i) Nodes[i] = double(i) / double(N - 1);
    }
    if (M >= 2) {
      Positions.setlength(M);
      Resampled.setlength(M);
      for (int r = 0; r < M; ++r) Positions[r] = double(r) / double(M - 1);
    }
  }

  void Resample(const double* in, size_t inStride, double* out, size_t outStride)
  {
    if (N < 2 || M < 2) {
      for (int r = 0; r < M; ++r) out[size_t(r) * outStride] = in[0];
      return;
    }
    for (int i = 0; i < N; ++i) Values[i] = in[size_t(i) * inStride];
    alglib::spline1dconvcubic(Nodes, Values, N, 2, 0.0, 2, 0.0, Positions, M, Resampled);
    for (int r = 0; r < M; ++r) out[size_t(r) * outStride] = Resampled[r];
  }

private:
  int N;
  int M;
  alglib::real_1d_array Nodes;
  alglib::real_1d_array Values;
  alglib::real_1d_array Positions;
  alglib::real_1d_array Resampled;
};

uint8_t ReferenceSample(double v)
{
  const double t = std::trunc(v);
  if (!(t > 0.0)) return 0;
  if (t >= 255.0) return 255;
  return uint8_t(t);
}

std::vector<uint8_t> ReferenceBicubic(cBMPSurface& source, int newW, int newH)
{
  const int width = source.GetWidth(), height = source.GetHeight(), channels = source.GetChannelsCount();
  const size_t w = size_t(width), h = size_t(height), resultW = size_t(newW), resultH = size_t(newH);
  std::vector<uint8_t> result(resultW * resultH * size_t(channels));
  std::vector<double> plane(w * h), middle(w * resultH), line(resultW);
  cReferenceLine columnSpline(height, newH), rowSpline(width, newW);
  for (int c = 0; c < channels; ++c) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) plane[size_t(y) * w + size_t(x)] = kvtest::Pixel(source, x, y, c);
    for (size_t x = 0; x < w; ++x) columnSpline.Resample(&plane[x], w, &middle[x], w);
    for (int r = 0; r < newH; ++r) {
      rowSpline.Resample(&middle[size_t(r) * w], 1, line.data(), 1);
      for (int k = 0; k < newW; ++k)
        result[(size_t(r) * size_t(newW) + size_t(k)) * size_t(channels) + size_t(c)] =
            ReferenceSample(line[size_t(k)]);
    }
  }
  return result;
}

enum eContent { ctRandom, ctRamp, ctSteps };

struct sCase {
  int Width, Height, NewWidth, NewHeight, Channels;
  eContent Content;
};

void FillContent(cBMPSurface& s, const sCase& c, uint32_t seed)
{
  std::mt19937 rng(seed);
  kvtest::Fill(s, c.Width, c.Height, c.Channels, [&](int x, int y, int ch) -> uint8_t {
    switch (c.Content) {
      case ctRamp: return uint8_t((7 * x + 3 * y + 40 * ch) % 256);
      case ctSteps: return ((x / 3 + y / 2 + ch) % 2) ? 255 : 0;
      default: return uint8_t(rng());
    }
  });
}

std::string Describe(const sCase& c)
{
  return std::to_string(c.Width) + "x" + std::to_string(c.Height) + " -> " + std::to_string(c.NewWidth) + "x" +
         std::to_string(c.NewHeight) + ", " + std::to_string(c.Channels) + " channel(s), content " +
         std::to_string(int(c.Content));
}

}  // namespace

TEST(ResampleBicubic, MatchesThePlainConstructionToTheBit)
{
  const sCase cases[] = {
      // Lines of one, two and three samples on either side.
      {1, 1, 3, 2, 1, ctRandom},
      {2, 1, 5, 1, 3, ctRandom},
      {1, 3, 1, 7, 1, ctRandom},
      {3, 3, 1, 1, 3, ctRandom},
      {2, 2, 3, 3, 1, ctRamp},
      {3, 3, 2, 2, 1, ctRandom},
      {3, 2, 2, 3, 3, ctSteps},
      {2, 40, 40, 2, 1, ctRamp},
      // Up and down, across and not across the block width of the lanes.
      {5, 7, 17, 3, 3, ctRandom},
      {16, 16, 16, 16, 1, ctRandom},
      {17, 16, 16, 17, 3, ctRandom},
      {33, 20, 9, 50, 1, ctSteps},
      {64, 64, 31, 97, 3, ctRandom},
      {100, 3, 7, 200, 1, ctRamp},
      {257, 130, 128, 260, 1, ctRandom},
      // Ramps evaluated on their own nodes, where the exact values are whole numbers.
      {11, 11, 21, 21, 1, ctRamp},
      {21, 13, 81, 49, 3, ctRamp},
      {40, 40, 118, 157, 1, ctRamp},
      {65, 33, 65, 33, 3, ctRamp},
      {101, 51, 51, 26, 1, ctRamp},
      {60, 45, 239, 177, 1, ctSteps},
  };
  uint32_t seed = 1;
  for (const sCase& c : cases) {
    cImage source;
    source.SetSize(c.Width, c.Height, c.Channels);
    FillContent(*source.GetSurface(), c, seed++);
    const std::vector<uint8_t> expected = ReferenceBicubic(*source.GetSurface(), c.NewWidth, c.NewHeight);

    cResampleOperation op;
    kvtest::SetParam(op, "NewWidth", c.NewWidth);
    kvtest::SetParam(op, "NewHeight", c.NewHeight);
    kvtest::SetParam(op, "ResampleType", 2);
    auto result = kvtest::RunOperation(op, source);
    cBMPSurface& r = *result->GetSurface();
    ASSERT_EQ(r.GetWidth(), c.NewWidth) << Describe(c);
    ASSERT_EQ(r.GetHeight(), c.NewHeight) << Describe(c);
    int differing = 0;
    for (int y = 0; y < c.NewHeight; ++y)
      for (int x = 0; x < c.NewWidth; ++x)
        for (int ch = 0; ch < c.Channels; ++ch) {
          const uint8_t want = expected[(size_t(y) * size_t(c.NewWidth) + size_t(x)) * size_t(c.Channels) + size_t(ch)];
          const uint8_t got = kvtest::Pixel(r, x, y, ch);
          if (got != want && differing++ < 3)
            ADD_FAILURE() << Describe(c) << ": sample " << x << "," << y << "," << ch << " is " << int(got)
                          << ", the plain construction gives " << int(want);
        }
    EXPECT_EQ(differing, 0) << Describe(c);
  }
}
