// BM3D filter on 512 x 512 grey and colour pictures with Gaussian noise of the filter's sigma
// (25, and 50 for the strong-noise settings), on one thread and on two (bench/bm3d_quality.py measures its quality).
#include <algorithm>
#include <cmath>

#include "BenchSupport.h"
#include "kvRuntime/cWorkerPool.h"

namespace {

void MakeNoisy(cImage& image, int channels, double sigma)
{
  image.SetSize(512, 512, channels);
  cBMPSurface& s = *image.GetSurface();
  std::mt19937 rng(25);
  std::normal_distribution<double> noise(0.0, sigma);
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x)
      for (int c = 0; c < channels; ++c) {
        // Shapes, edges and texture: flat squares, a ramp and a ripple.
        const double clean = ((x / 64 + y / 64) % 2 ? 170.0 : 70.0) + 0.1 * x + 25.0 * std::sin(x * 0.3 + y * 0.1 + c);
        s.Row(y)[x * channels + c] = uint8_t(std::clamp(std::round(clean + noise(rng)), 0.0, 255.0));
      }
}

// state.range(0): channels; state.range(1): threads; state.range(2): profile; state.range(3): sigma.
void BM_BM3D(benchmark::State& state)
{
  kvbench::cLoadedPackage package("060pkNonLocal.so");
  acOperation* filter = package.Find("BM3D Filter");
  if (!filter) {
    state.SkipWithError("BM3D Filter not loaded");
    return;
  }
  filter->GetParams()->ResetToDefault();
  if (!kvbench::SetParam(state, *filter, "Sigma", double(state.range(3))) ||
      !kvbench::SetParam(state, *filter, "Profile", int(state.range(2))))
    return;
  const unsigned saved = kvGetThreadCount();
  kvSetThreadCount(unsigned(state.range(1)));
  cImage source;
  MakeNoisy(source, int(state.range(0)), double(state.range(3)));
  kvbench::TimeRuns(state, *filter, source, 512 * 512 * state.range(0));
  kvSetThreadCount(saved);
}
BENCHMARK(BM_BM3D)
    ->ArgNames({"channels", "threads", "fast", "sigma"})
    ->Args({1, 1, 0, 25})
    ->Args({1, 2, 0, 25})
    ->Args({3, 1, 0, 25})
    ->Args({1, 1, 1, 25})
    ->Args({1, 1, 0, 50})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);

}  // namespace
