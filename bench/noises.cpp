// Every noise at its default parameters on a 512 x 512 grey and colour picture, loaded from
// its package as the program loads it; reports time per sample. Also the shared generator's
// single and batched draws.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include "BenchSupport.h"
#include "kvOperations/cRandomBatch.h"
#include "kvOperations/cRandomGenerator.h"

namespace {

// The two noise packages loaded once.
kvbench::cLoadedPackage& Packages()
{
  static kvbench::cLoadedPackage packages({"210pkNoises.so", "220pkStringNoise.so"});
  return packages;
}

void BM_Noise(benchmark::State& state, const std::string& name, int channels)
{
  acOperation* op = Packages().Find(name);
  if (!op) {
    state.SkipWithError("package not loaded");
    return;
  }
  cImage source, result;
  source.SetSize(512, 512, channels);
  std::mt19937 fill(1);
  cBMPSurface& s = *source.GetSurface();
  for (int y = 0; y < 512; ++y)
    for (int i = 0; i < 512 * channels; ++i) s.Row(y)[i] = uint8_t(fill());
  op->GetParams()->ResetToDefault();
  op->SetInterfaces(&source, &result);
  tTerminateFlag terminated{false};
  for (auto _ : state) {
    op->Execute(terminated);
    benchmark::DoNotOptimize(result.GetSurface()->Row(0));
  }
  const double samples = 512.0 * 512.0 * channels;
  // Seconds per sample, shown with an SI prefix (n = nanoseconds).
  state.counters["per_sample"] = benchmark::Counter(samples * double(state.iterations()),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_RandomSingle(benchmark::State& state)
{
  for (auto _ : state) benchmark::DoNotOptimize(Random(100));
}
BENCHMARK(BM_RandomSingle);

void BM_RandomBatched(benchmark::State& state)
{
  for (auto _ : state) {
    cRandomBatch batch;
    for (int i = 0; i < 512; ++i) benchmark::DoNotOptimize(batch.Random(100));
  }
  state.SetItemsProcessed(state.iterations() * 512);
}
BENCHMARK(BM_RandomBatched);

void BM_RandGBatched(benchmark::State& state)
{
  for (auto _ : state) {
    cRandomBatch batch;
    for (int i = 0; i < 512; ++i) benchmark::DoNotOptimize(batch.RandG(0, 1));
  }
  state.SetItemsProcessed(state.iterations() * 512);
}
BENCHMARK(BM_RandGBatched);

const char* const NoiseNames[] = {"Gaussian Noise",
                                  "Exponential Noise",
                                  "Rayleigh Noise",
                                  "Speckle Noise",
                                  "Salt-and-Pepper Noise",
                                  "Salt Noise",
                                  "Pepper Noise",
                                  "Random Valued (uniform) Noise",
                                  "Random Valued (gaussian) Noise",
                                  "Poisson Noise",
                                  "Poisson-Gaussian Noise",
                                  "Streaks Noise"};

const bool Registered = [] {
  for (const char* name : NoiseNames)
    for (int channels : {1, 3}) {
      const std::string label = std::string("BM_Noise/") + name + (channels == 1 ? "/grey" : "/colour");
      benchmark::RegisterBenchmark(label.c_str(), BM_Noise, std::string(name), channels)->Unit(benchmark::kMillisecond);
    }
  return true;
}();

}  // namespace
