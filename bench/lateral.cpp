// The lateral and rank-ordered difference filters at their default parameters.
#include "BenchSupport.h"

KV_FILTER_BENCHMARK(Bilateral, "099pkLateral.so", "Bilateral");
KV_FILTER_BENCHMARK(Trilateral, "099pkLateral.so", "Trilateral");
KV_FILTER_BENCHMARK(ROADFilter, "099pkLateral.so", "ROAD filter");
KV_FILTER_BENCHMARK(SDROM, "099pkLateral.so", "SD-ROM");
