// The maximum and minimum filters at their default parameters.
#include "BenchSupport.h"

KV_FILTER_BENCHMARK(MaximumFilter, "040pkRanking.so", "Maximum Filter");
KV_FILTER_BENCHMARK(MinimumFilter, "040pkRanking.so", "Minimum Filter");
KV_FILTER_BENCHMARK(MaxMinFilter, "040pkRanking.so", "Max-Min Filter");
