#include "LeeFilter.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "kvRuntime/kvDiagnostics.h"
#include "kvRuntime/kvVectorClones.h"

KV_UNIT("990pkAdaptive\\LeeFilter");

namespace {
// The row's results from exact window sums of n samples. The quotients are taken in double
// precision: numerators stay far below 2^26 and divisors below 2^16, where the floor of the
// rounded quotient is the integer quotient, and this loop vectorises.
KV_VECTOR_CLONES void LeeRow(const uint8_t* centre, const int32_t* sums, const int32_t* squares, int n, int64_t count,
                             double noise, uint8_t* out)
{
  const double samples = double(count);
  const double dof = double(count > 1 ? count - 1 : 1);
  for (int j = 0; j < n; ++j) {
    const double sum = sums[j];
    const double m = std::floor((sum + samples - 1) / samples);
    // Sum of (v - m)^2, expanded so one pass over the window suffices; exact in double.
    const double deviations = double(squares[j]) - 2 * m * sum + samples * m * m;
    const double spread = count > 1 ? std::floor(deviations / dof) : 0.0;
    out[j] = spread > noise ? centre[j] : uint8_t(m);
  }
}
}  // namespace

LeeFilter::LeeFilter()
{
  Describe("Lee Filter", "Misc Filters", otFilter, fmParamDialog);
  DeclareWindowSize(7);
}

// The window holds exactly W x W samples (an even size uses the same off-centre window as
// every other filter), so the mean divides by the number of samples it really summed and the
// spread by one less; a single sample has no spread.
void LeeFilter::WindowStatistics(const cBMPSurface& surface, int x, int y, unsigned& mean, int64_t& spread) const
{
  const sWindowExtent w = Window();
  const int64_t n = int64_t(WindowSize) * WindowSize;
  int64_t sum = 0, squares = 0;
  for (int dx = -w.Left; dx <= w.Right; ++dx)
    for (int dy = -w.Up; dy <= w.Down; ++dy) {
      const int64_t v = surface.GetPixel(x + dx, y + dy);
      sum += v;
      squares += v * v;
    }
  const int64_t m = (sum + n - 1) / n;
  mean = unsigned(m);
  // Sum of (v - m)^2, expanded so one pass over the window suffices.
  spread = n > 1 ? (squares - 2 * m * sum + n * m * m) / (n - 1) : 0;
}

void LeeFilter::PreProcessing()
{
  ReadWindowSize();
  const int channels = SourceSurface->GetChannelsCount();
  double total = 0.0;
  for (int c = 0; c < channels; ++c) {
    SourceSurface->CurrentChannel = c;
    int64_t sum = 0, blocks = 0;
    for (unsigned y = FirstRow; y < EndRow; y += WindowSize)
      for (unsigned x = FirstColumn; x < EndColumn; x += WindowSize) {
        unsigned mean = 0;
        int64_t spread = 0;
        WindowStatistics(*SourceSurface, int(x), int(y), mean, spread);
        sum += spread;
        ++blocks;
      }
    if (blocks > 0) total += double(sum) / double(blocks);
  }
  NoiseVariance = channels > 0 ? total / channels : 0.0;
}

void LeeFilter::TransformPixel(unsigned x, unsigned y)
{
  unsigned mean = 0;
  int64_t spread = 0;
  WindowStatistics(*SourceSurface, int(x), int(y), mean, spread);
  if (double(spread) > NoiseVariance)
    ResultSurface->SetPixel(int(x), int(y), SourceSurface->GetPixel(int(x), int(y)));
  else
    ResultSurface->SetPixel(int(x), int(y), uint8_t(mean));
}

void LeeFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  std::vector<int32_t> sums;
  std::vector<int32_t> squares;
  WindowSums(in, count, sums, squares);
  LeeRow(in.Rows[Window().Up], sums.data(), squares.data(), count * in.Channels, int64_t(WindowSize) * WindowSize,
         NoiseVariance, out);
}
