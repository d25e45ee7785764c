// The difference, Laplacian and gradient filters at their default parameters.
#include "BenchSupport.h"

KV_FILTER_BENCHMARK(DifferentFilter, "010pkMath.so", "Different Filter");
KV_FILTER_BENCHMARK(LaplasianFilter, "010pkMath.so", "Laplasian Filter");
KV_FILTER_BENCHMARK(GradientFilter, "010pkMath.so", "Gradient Filter");
