// The maximum and minimum filters at their default parameters, and on 2048 x 2048 pictures
// (the size they are compared with the peers at).
#include "BenchSupport.h"

namespace {
[[maybe_unused]] const bool Registered = kvbench::RegisterFilters({
    {"MaximumFilter", "040pkRanking.so", "Maximum Filter"},
    {"MinimumFilter", "040pkRanking.so", "Minimum Filter"},
    {"MaxMinFilter", "040pkRanking.so", "Max-Min Filter"},
});

void Run2048(benchmark::State& state, const std::string& name)
{
  kvbench::cLoadedPackage loaded("040pkRanking.so");
  acOperation* op = loaded.Find(name);
  const int channels = int(state.range(0));
  cImage source;
  source.SetSize(2048, 2048, channels);
  std::mt19937 rng(5);
  for (int y = 0; y < 2048; ++y)
    for (int i = 0; i < 2048 * channels; ++i) source.GetSurface()->Row(y)[i] = uint8_t(rng());
  kvbench::TimeRuns(state, *op, source, 2048 * 2048 * channels);
}
}  // namespace

BENCHMARK_CAPTURE(Run2048, Maximum_2048, std::string("Maximum Filter"))->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run2048, Minimum_2048, std::string("Minimum Filter"))->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Run2048, MaxMin_2048, std::string("Max-Min Filter"))->Arg(3)->Unit(benchmark::kMillisecond);
