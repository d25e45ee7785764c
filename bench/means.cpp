// The mean filters at their default parameters.
#include "BenchSupport.h"
#include "LargePicture.h"

namespace {
const std::vector<kvbench::sFilterBench> Filters = {
    {"ArithmeticMean", "030pkMeaning.so", "Arithmetic Mean"},
    {"GeometricMean", "030pkMeaning.so", "Geometric Mean"},
    {"HarmonicMean", "030pkMeaning.so", "Harmonic Mean"},
    {"ContraharmonicMean", "030pkMeaning.so", "Contraharmonic Mean"},
    {"TruncatedMean", "999pkMisc.so", "Truncated Mean"},
};
[[maybe_unused]] const bool Registered = kvbench::RegisterFilters(Filters) && kvbench::RegisterLargeFilters(Filters);
}  // namespace
