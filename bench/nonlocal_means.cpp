// "Non-Local Means" at its default parameters on 512 x 512 grey and colour pictures (its goal
// against OpenCV is measured by bench/peers.py --nonlocal).
#include "BenchSupport.h"

namespace {
const std::vector<kvbench::sFilterBench> Filters = {
    {"NonLocalMeans", "060pkNonLocal.so", "Non-Local Means"},
};
[[maybe_unused]] const bool Registered = kvbench::RegisterFilters(Filters);
}  // namespace
