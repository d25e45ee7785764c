// Tamsel filter with 20 % salt-and-pepper: 512 x 512 grey and 2048 x 2048 colour.
#include "BenchSupport.h"

namespace {

void RunTamsel(benchmark::State& state, int side, int channels)
{
  kvbench::cLoadedPackage package("999pkMisc.so");
  acOperation* filter = package.Find("Tamsel Filter");
  if (!filter) {
    state.SkipWithError("Tamsel Filter not loaded");
    return;
  }
  cImage source;
  source.SetSize(side, side, channels);
  cBMPSurface& s = *source.GetSurface();
  std::mt19937 rng(7);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x)
      for (int c = 0; c < channels; ++c) {
        const unsigned u = rng() % 100;
        s.Row(y)[x * channels + c] = u < 10 ? 0 : (u < 20 ? 255 : uint8_t(40 + (x + 2 * y + 30 * c) % 170));
      }
  kvbench::TimeRuns(state, *filter, source, int64_t(side) * side * channels);
}

void BM_TamselFilter(benchmark::State& state)
{
  RunTamsel(state, 512, 1);
}
BENCHMARK(BM_TamselFilter)->Unit(benchmark::kMillisecond);
void BM_TamselFilter2048Colour(benchmark::State& state)
{
  RunTamsel(state, 2048, 3);
}
BENCHMARK(BM_TamselFilter2048Colour)->Unit(benchmark::kMillisecond);

}  // namespace
