// The lateral and rank-ordered difference filters at their default parameters.
#include "BenchSupport.h"
#include "LargePicture.h"

namespace {
const std::vector<kvbench::sFilterBench> Filters = {
    {"Bilateral", "099pkLateral.so", "Bilateral"},
    {"Trilateral", "099pkLateral.so", "Trilateral"},
    {"ROADFilter", "099pkLateral.so", "ROAD filter"},
    {"SDROM", "099pkLateral.so", "SD-ROM"},
};
[[maybe_unused]] const bool Registered = kvbench::RegisterFilters(Filters) && kvbench::RegisterLargeFilters(Filters);
}  // namespace
