// The mean filters at their default parameters.
#include "BenchSupport.h"
#include "LargePicture.h"

KV_FILTER_BENCHMARK(ArithmeticMean, "030pkMeaning.so", "Arithmetic Mean");
KV_FILTER_BENCHMARK(GeometricMean, "030pkMeaning.so", "Geometric Mean");
KV_FILTER_BENCHMARK(HarmonicMean, "030pkMeaning.so", "Harmonic Mean");
KV_FILTER_BENCHMARK(ContraharmonicMean, "030pkMeaning.so", "Contraharmonic Mean");
KV_FILTER_BENCHMARK(TruncatedMean, "999pkMisc.so", "Truncated Mean");
KV_FILTER_BENCHMARK_LARGE(ArithmeticMean, "030pkMeaning.so", "Arithmetic Mean");
KV_FILTER_BENCHMARK_LARGE(GeometricMean, "030pkMeaning.so", "Geometric Mean");
KV_FILTER_BENCHMARK_LARGE(HarmonicMean, "030pkMeaning.so", "Harmonic Mean");
KV_FILTER_BENCHMARK_LARGE(ContraharmonicMean, "030pkMeaning.so", "Contraharmonic Mean");
KV_FILTER_BENCHMARK_LARGE(TruncatedMean, "999pkMisc.so", "Truncated Mean");
