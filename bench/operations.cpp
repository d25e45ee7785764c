// The operation contract's per-sample overhead, the transforms and each resampling method.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

#include "BenchSupport.h"
#include "kvOperations/cResampleOperation.h"
#include "kvOperations/acSingleChannelOperation.h"

namespace {

class cEmptyOperation : public acSingleChannelOperation {
public:
  void TransformPixel(unsigned, unsigned) override {}
};

void FillRandom(cImage& image, int w, int h, int channels)
{
  image.SetSize(w, h, channels);
  std::mt19937 rng(1);
  cBMPSurface& s = *image.GetSurface();
  for (int y = 0; y < h; ++y)
    for (int i = 0; i < w * channels; ++i) s.Row(y)[i] = uint8_t(rng());
}

void RunRepeatedly(benchmark::State& state, acOperation& op, cImage& source)
{
  cImage result;
  op.SetInterfaces(&source, &result);
  tTerminateFlag terminated{false};
  for (auto _ : state) {
    op.Execute(terminated);
    benchmark::DoNotOptimize(result.GetSurface()->GetBits());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(source.GetWidth()) * source.GetHeight());
}

// The shipped transform packages, loaded once as the system loads them.
kvbench::cLoadedPackage& Packages()
{
  static kvbench::cLoadedPackage packages({"pkColor.so", "pkGeometric.so"});
  return packages;
}

void BM_PixelDriverEmptyTransform(benchmark::State& state)
{
  cImage source;
  FillRandom(source, 512, 512, 3);
  cEmptyOperation op;
  RunRepeatedly(state, op, source);
}
BENCHMARK(BM_PixelDriverEmptyTransform)->Unit(benchmark::kMillisecond);

void BM_Transform(benchmark::State& state, const char* name)
{
  cImage source;
  FillRandom(source, 512, 512, 3);
  RunRepeatedly(state, *Packages().Find(name), source);
}
BENCHMARK_CAPTURE(BM_Transform, FlipHorizontal, "Flip Horizontal")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Transform, FlipVertical, "Flip Vertical")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Transform, Rotate180, "Rotate 180")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Transform, Rotate90CCW, "Rotate 90 CCW")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Transform, Rotate90CW, "Rotate 90 CW")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Transform, Invert, "Invert")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Transform, Desaturate, "Desaturate")->Unit(benchmark::kMillisecond);

// Args: method (0 nearest, 1 "Bilinear", 2 "Bicubic"), new side.
void BM_Resample(benchmark::State& state)
{
  cImage source;
  FillRandom(source, 512, 512, 3);
  cResampleOperation op;
  if (!kvbench::SetParam(state, op, "NewWidth", int(state.range(1))) ||
      !kvbench::SetParam(state, op, "NewHeight", int(state.range(1))) ||
      !kvbench::SetParam(state, op, "ResampleType", int(state.range(0))))
    return;
  RunRepeatedly(state, op, source);
}
BENCHMARK(BM_Resample)
    ->ArgNames({"method", "side"})
    ->ArgsProduct({{0, 1, 2}, {1024, 256}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
