// Median-family filters of 050pkMedian at default parameters on 512 x 512 grey and colour
// pictures, the median filter at 3 x 3, 5 x 5 and 7 x 7, and FindMedian alone; the sizes the
// peers are compared at on 2048 x 2048 (the detectors with 20 % salt-and-pepper).
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"

#include "FindMedian.h"

namespace {
kvbench::cLoadedPackage& Packages()
{
  static kvbench::cLoadedPackage packages({"050pkMedian.so", "999pkMisc.so"});
  return packages;
}

// A picture with `percent` % salt-and-pepper impulses, so the detectors have work to do.
void NoisyPicture(cImage& image, int channels, int side = 512, unsigned percent = 10)
{
  image.SetSize(side, side, channels);
  std::mt19937 rng(1);
  cBMPSurface& s = *image.GetSurface();
  for (int y = 0; y < side; ++y)
    for (int i = 0; i < side * channels; ++i) {
      const unsigned r = rng() % 100;
      s.Row(y)[i] = r < percent / 2 ? 0 : r < percent ? 255 : uint8_t(((i / channels) + y) / 4 + r % 8);
    }
}

void RunFilter(benchmark::State& state, const std::string& name, int channels, int size, int side = 512,
               unsigned percent = 10)
{
  acOperation* op = Packages().Find(name);
  op->GetParams()->ResetToDefault();
  if (size > 0 &&
      !(kvbench::SetParam(state, *op, "Width size", size) && kvbench::SetParam(state, *op, "Height size", size)))
    return;
  cImage source;
  NoisyPicture(source, channels, side, percent);
  kvbench::TimeRuns(state, *op, source, int64_t(side) * side * channels);
}

void Run2048(benchmark::State& state, const std::string& name, int channels, int size)
{
  RunFilter(state, name, channels, size, 2048, 20);
}
}  // namespace

BENCHMARK_CAPTURE(RunFilter, MedianGrey3x3, std::string("Median Filter"), 1, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunFilter, MedianGrey5x5, std::string("Median Filter"), 1, 5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunFilter, MedianGrey7x7, std::string("Median Filter"), 1, 7)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunFilter, MedianColour3x3, std::string("Median Filter"), 3, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunFilter, AdaptiveMedianGrey, std::string("Adaptive Median Filter"), 1, 0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunFilter, AdaptiveMedianColour, std::string("Adaptive Median Filter"), 3, 0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunFilter, FoolishDetectorGrey, std::string("Foolish Detector Median Filter"), 1, 0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunFilter, FoolishDetectorColour, std::string("Foolish Detector Median Filter"), 3, 0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunFilter, PSMGrey, std::string("PSM Filter"), 1, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunFilter, PSMColour, std::string("PSM Filter"), 3, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunFilter, APSMGrey, std::string("APSM Filter"), 1, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RunFilter, APSMColour, std::string("APSM Filter"), 3, 0)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(Run2048, MedianGrey3x3_2048, std::string("Median Filter"), 1, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run2048, MedianColour3x3_2048, std::string("Median Filter"), 3, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run2048, MedianGrey5x5_2048, std::string("Median Filter"), 1, 5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run2048, MedianColour5x5_2048, std::string("Median Filter"), 3, 5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run2048, AdaptiveMedianColour_2048, std::string("Adaptive Median Filter"), 3, 0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run2048, FoolishDetectorColour_2048, std::string("Foolish Detector Median Filter"), 3, 0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run2048, PSMColour_2048, std::string("PSM Filter"), 3, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run2048, FoolishSmartColour_2048, std::string("Foolish detector-Smart filter"), 3, 0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run2048, APSMColour_2048, std::string("APSM Filter"), 3, 0)->Unit(benchmark::kMillisecond);

static void FindMedianOf(benchmark::State& state)
{
  const unsigned count = unsigned(state.range(0));
  // Many different sets in turn, so branch prediction cannot learn one of them.
  constexpr unsigned sets = 256;
  std::vector<uint8_t> values(size_t(count) * sets);
  std::mt19937 rng(2);
  for (auto& v : values) v = uint8_t(rng());
  unsigned set = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FindMedian(values.data() + size_t(set) * count, count));
    set = (set + 1) % sets;
  }
}
BENCHMARK(FindMedianOf)->Arg(9)->Arg(25)->Arg(49)->Arg(729);
