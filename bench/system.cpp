// End-to-end costs through the facade: a saved run (load, operation on the worker, measures)
// and an analyzer experiment.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "kvFacade/cKvadraSystem.h"
#include "kvMessages/cPlainEventLoop.h"
#include "kvMessages/cUserDialogs.h"

namespace {

struct sSession {
  sSession()
  {
    cUserDialogs::SetHandlers([](const std::string&) {}, [](const std::string&) { return true; });
    System = std::make_unique<cKvadraSystem>(&Loop);
    System->LoadPlugIns(KV_PLUGIN_DIR);
  }
  ~sSession()
  {
    System.reset();
    cUserDialogs::SetHandlers(nullptr, nullptr);
  }
  cPlainEventLoop Loop;
  std::unique_ptr<cKvadraSystem> System;
};

void BM_SavedRunThroughFacade(benchmark::State& state)
{
  sSession session;
  cKvadraSystem& system = *session.System;
  const unsigned invert = system.FindOperationUID("Invert");
  if (invert == 0) {
    state.SkipWithError("Invert is not loaded");
    return;
  }
  const std::string picture = std::string(KV_SAMPLES_DIR) + "camera.bmp";
  for (auto _ : state) {
    system.LoadImage(picture);
    session.Loop.RunUntilIdle();
    system.SelectOperation(invert);
    system.SetWholeImage(true);
    system.SelectedFilterExecute(true);
    session.Loop.RunUntil([&] { return !system.IsBusy(); });
    benchmark::DoNotOptimize(system.GetImage(system.GetCurrentImageID())->GetMSE());
    system.DeleteAllSavedImage();
  }
}
BENCHMARK(BM_SavedRunThroughFacade)->Unit(benchmark::kMillisecond);

void BM_AnalyzerSaltAndPepperMedians(benchmark::State& state)
{
  sSession session;
  cKvadraSystem& system = *session.System;
  const unsigned noise = system.FindOperationUID("Salt-and-Pepper Noise");
  const unsigned median = system.FindOperationUID("Median Filter");
  const unsigned adaptive = system.FindOperationUID("Adaptive Median Filter");
  if (noise == 0 || median == 0 || adaptive == 0) {
    state.SkipWithError("the noise or median packages are not loaded");
    return;
  }
  const int percent = system.GetOperationParams(noise)->FindParam("Noise percent");
  if (percent < 0) {
    state.SkipWithError("\"Noise percent\" is not a parameter of the noise");
    return;
  }
  system.LoadImage(std::string(KV_SAMPLES_DIR) + "camera.bmp");  // 512 x 512 grey
  session.Loop.RunUntilIdle();
  for (auto _ : state) {
    system.EnterAnalyzerMode();
    sCorruptionSeriesInfo info;
    info.OperationUID = noise;
    info.ParameterIndex = uint32_t(percent);
    info.Minimum = 0.1;
    info.Maximum = 0.5;
    info.Steps = 4;
    system.AnalyzerAddCorruptionSeries(info);
    system.AnalyzerAddRestoration(median);
    system.AnalyzerAddRestoration(adaptive);
    system.AnalyzerSetCriterion("SSIM");
    system.AnalyzerExecute();
    benchmark::DoNotOptimize(system.AnalyzerGetSeriesLenght(0));
    state.PauseTiming();
    // Keep only the loaded picture so that every experiment starts alike.
    while (system.SavedImageCount() > 1) system.Undo();
    system.SetCurrentImageID(0);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_AnalyzerSaltAndPepperMedians)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
