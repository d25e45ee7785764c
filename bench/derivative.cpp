// The difference, Laplacian and gradient filters at their default parameters.
#include "BenchSupport.h"

namespace {
const std::vector<kvbench::sFilterBench> Filters = {
    {"DifferentFilter", "010pkMath.so", "Different Filter"},
    {"LaplasianFilter", "010pkMath.so", "Laplasian Filter"},
    {"GradientFilter", "010pkMath.so", "Gradient Filter"},
};
[[maybe_unused]] const bool Registered = kvbench::RegisterFilters(Filters);
}  // namespace
