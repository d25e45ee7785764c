// Tamsel filter on a 512 x 512 grey picture with 20 % salt-and-pepper.
#include "BenchSupport.h"

namespace {

void BM_TamselFilter(benchmark::State& state)
{
  kvbench::cLoadedPackage package("999pkMisc.so");
  acOperation* filter = package.Find("Tamsel Filter");
  if (!filter) {
    state.SkipWithError("Tamsel Filter not loaded");
    return;
  }
  cImage source;
  source.SetSize(512, 512, 1);
  cBMPSurface& s = *source.GetSurface();
  std::mt19937 rng(7);
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 512; ++x) {
      const unsigned u = rng() % 100;
      s.Row(y)[x] = u < 10 ? 0 : (u < 20 ? 255 : uint8_t(40 + (x + 2 * y) % 170));
    }
  cImage result;
  filter->SetInterfaces(&source, &result);
  tTerminateFlag terminated{false};
  for (auto _ : state) {
    filter->Execute(terminated);
    benchmark::DoNotOptimize(result.GetSurface()->Row(0));
  }
  state.SetItemsProcessed(state.iterations() * 512 * 512);
}
BENCHMARK(BM_TamselFilter)->Unit(benchmark::kMillisecond);

}  // namespace
