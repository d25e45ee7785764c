// Wiener, Lee and the smart detector filter at default parameters on 512 x 512 grey and
// colour pictures.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include "BenchSupport.h"

namespace {
kvbench::cLoadedPackage& Packages()
{
  static kvbench::cLoadedPackage packages({"020pkLinear.so", "990pkAdaptive.so", "999pkMisc.so"});
  return packages;
}

void RunFilter(benchmark::State& state, const std::string& name, int channels)
{
  acOperation* op = Packages().Find(name);
  op->GetParams()->ResetToDefault();
  cImage source;
  source.SetSize(512, 512, channels);
  std::mt19937 rng(1);
  cBMPSurface& s = *source.GetSurface();
  for (int y = 0; y < 512; ++y)
    for (int i = 0; i < 512 * channels; ++i) {
      const unsigned r = rng() % 100;
      s.Row(y)[i] = r < 5 ? 0 : r < 10 ? 255 : uint8_t(((i / channels) + y) / 4 + r % 8);
    }
  kvbench::TimeRuns(state, *op, source, 512 * 512 * channels);
}
}  // namespace

BENCHMARK_CAPTURE(RunFilter, WienerGrey, std::string("Wiener Filter"), 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunFilter, WienerColour, std::string("Wiener Filter"), 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunFilter, LeeGrey, std::string("Lee Filter"), 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunFilter, LeeColour, std::string("Lee Filter"), 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunFilter, SmartDetectorGrey, std::string("Foolish detector-Smart filter"), 1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunFilter, SmartDetectorColour, std::string("Foolish detector-Smart filter"), 3)
    ->Unit(benchmark::kMillisecond);
