// JPEG round trip at quality 70 on a 512 x 512 colour picture.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include "cImage.h"
#include "cMessenger.h"
#include "cObservableSubject.h"
#include "cOperationPool.h"
#include "cPlainEventLoop.h"

namespace {

void BM_JpegRoundTrip(benchmark::State& state)
{
  cPlainEventLoop loop;
  cMessenger::SetHost(&loop);
  auto hub = std::make_unique<cObservableSubject>();
  hub->Install(&loop);
  ObservableSubject = hub.get();
  {
    cOperationPool pool;
    pool.LoadOperationsFromPackage(std::string(KV_PLUGIN_DIR) + "310pkCompress.so");
    const unsigned uid = pool.FindUIDByName("JPEG");
    if (uid == 0) {
      state.SkipWithError("JPEG not loaded");
    } else {
      acOperation* filter = pool.LookForOperationByUID(uid);
      filter->GetParams()->GetParam(0)->SetValue(70);
      cImage source;
      source.SetSize(512, 512, 3);
      cBMPSurface& s = *source.GetSurface();
      std::mt19937 rng(7);
      for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 3 * 512; ++x) s.Row(y)[x] = uint8_t((x * (x % 3 + 1) + y * 3) % 256 ^ (rng() & 7));
      cImage result;
      filter->SetInterfaces(&source, &result);
      tTerminateFlag terminated{false};
      for (auto _ : state) {
        filter->Execute(terminated);
        benchmark::DoNotOptimize(result.GetSurface()->Row(0));
      }
      state.SetItemsProcessed(state.iterations() * 512 * 512);
    }
  }
  hub->Uninstall();
  ObservableSubject = nullptr;
  cMessenger::SetHost(nullptr);
}
BENCHMARK(BM_JpegRoundTrip)->Unit(benchmark::kMillisecond);

}  // namespace
