// JPEG round trip at quality 70 on a 512 x 512 colour picture.
#include "BenchSupport.h"

namespace {

void BM_JpegRoundTrip(benchmark::State& state)
{
  kvbench::cLoadedPackage package("310pkCompress.so");
  acOperation* filter = package.Find("JPEG");
  if (!filter) {
    state.SkipWithError("JPEG not loaded");
    return;
  }
  if (!kvbench::SetParam(state, *filter, "Compression ratio", 70)) return;
  cImage source;
  source.SetSize(512, 512, 3);
  cBMPSurface& s = *source.GetSurface();
  std::mt19937 rng(7);
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 3 * 512; ++x) s.Row(y)[x] = uint8_t((x * (x % 3 + 1) + y * 3) % 256 ^ (rng() & 7));
  // Items count pixels, not samples, as this benchmark always has.
  kvbench::TimeRuns(state, *filter, source, 512 * 512);
}
BENCHMARK(BM_JpegRoundTrip)->Unit(benchmark::kMillisecond);

}  // namespace
