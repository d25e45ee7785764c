// The lateral and rank-ordered difference filters at their default parameters.
#include "BenchSupport.h"
#include "LargePicture.h"

KV_FILTER_BENCHMARK(Bilateral, "099pkLateral.so", "Bilateral");
KV_FILTER_BENCHMARK(Trilateral, "099pkLateral.so", "Trilateral");
KV_FILTER_BENCHMARK(ROADFilter, "099pkLateral.so", "ROAD filter");
KV_FILTER_BENCHMARK(SDROM, "099pkLateral.so", "SD-ROM");
KV_FILTER_BENCHMARK_LARGE(Bilateral, "099pkLateral.so", "Bilateral");
KV_FILTER_BENCHMARK_LARGE(Trilateral, "099pkLateral.so", "Trilateral");
KV_FILTER_BENCHMARK_LARGE(ROADFilter, "099pkLateral.so", "ROAD filter");
KV_FILTER_BENCHMARK_LARGE(SDROM, "099pkLateral.so", "SD-ROM");
