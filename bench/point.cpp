// The pointwise, geometric, derivative, linear and adaptive operations and the per-sample
// noises at their default parameters on a 2048 x 2048 picture, grey (1) and colour (3): the
// time of the operation's own work, as a run's time counts it (Execute's copy of the source
// into the result comes before and is left out).
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

#include "BenchSupport.h"

namespace {

constexpr int Side = 2048;

kvbench::cLoadedPackage& Packages()
{
  static kvbench::cLoadedPackage packages(
      {"pkColor.so", "pkGeometric.so", "010pkMath.so", "020pkLinear.so", "990pkAdaptive.so", "210pkNoises.so"});
  return packages;
}

// Smooth content with 5 % impulses, so the adaptive filters meet both kinds of window.
const cImage& Picture(int channels)
{
  static cImage pictures[2];
  cImage& image = pictures[channels == 3];
  if (image.GetWidth() != Side) {
    image.SetSize(Side, Side, channels);
    std::mt19937 rng(5);
    cBMPSurface& s = *image.GetSurface();
    for (int y = 0; y < Side; ++y)
      for (int x = 0; x < Side; ++x)
        for (int c = 0; c < channels; ++c) {
          const unsigned r = rng();
          s.Row(y)[x * channels + c] = uint8_t(r % 20 == 0 ? (r & 0x100 ? 255 : 0) : (x + 2 * y + 40 * c) / 16 % 256);
        }
  }
  return image;
}

void BM_Operation(benchmark::State& state, const char* name)
{
  acOperation* op = Packages().Find(name);
  if (!op) {
    state.SkipWithError("operation not found");
    return;
  }
  cImage source, result;
  source.GetSurface()->MakeCopyFrom(*Picture(int(state.range(0))).GetSurface());
  op->GetParams()->ResetToDefault();
  op->SetInterfaces(&source, &result);
  tTerminateFlag terminated{false};
  // The first run binds the region and copies the source; the timed runs are the operation's
  // own work on the same region (every operation here writes all of it each run).
  op->Execute(terminated);
  // Desaturate leaves a one-channel result, which a run takes only as the source's copy.
  const bool reshapes = result.GetChannelsCount() != source.GetChannelsCount();
  for (auto _ : state) {
    if (reshapes) {
      state.PauseTiming();
      result.GetSurface()->MakeCopyFrom(*source.GetSurface());
      state.ResumeTiming();
    }
    op->OperationItself(terminated);
    benchmark::DoNotOptimize(result.GetSurface()->Row(0));
  }
  state.SetItemsProcessed(state.iterations() * int64_t(Side) * Side);
}

// What memory allows: one copy of the picture into another, as bitwise_not and flip do.
void BM_CopyPicture(benchmark::State& state)
{
  const cBMPSurface& from = *Picture(int(state.range(0))).GetSurface();
  cImage to;
  to.GetSurface()->MakeCopyFrom(from);
  for (auto _ : state) {
    std::memcpy(to.GetSurface()->GetBits(), from.GetBits(), size_t(from.GetImageByteSize()));
    benchmark::DoNotOptimize(to.GetSurface()->GetBits());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(Side) * Side);
}
BENCHMARK(BM_CopyPicture)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

#define KV_POINT_BENCHMARK(ID, NAME) \
  BENCHMARK_CAPTURE(BM_Operation, ID, NAME)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)

KV_POINT_BENCHMARK(Invert, "Invert");
KV_POINT_BENCHMARK(Desaturate, "Desaturate");
KV_POINT_BENCHMARK(FlipVertical, "Flip Vertical");
KV_POINT_BENCHMARK(FlipHorizontal, "Flip Horizontal");
KV_POINT_BENCHMARK(Rotate180, "Rotate 180");
KV_POINT_BENCHMARK(Rotate90CW, "Rotate 90 CW");
KV_POINT_BENCHMARK(Rotate90CCW, "Rotate 90 CCW");
KV_POINT_BENCHMARK(Different, "Different Filter");
KV_POINT_BENCHMARK(Laplasian, "Laplasian Filter");
KV_POINT_BENCHMARK(Gradient, "Gradient Filter");
KV_POINT_BENCHMARK(Wiener, "Wiener Filter");
KV_POINT_BENCHMARK(Lee, "Lee Filter");
KV_POINT_BENCHMARK(GaussianNoise, "Gaussian Noise");
KV_POINT_BENCHMARK(ExponentialNoise, "Exponential Noise");
KV_POINT_BENCHMARK(RayleighNoise, "Rayleigh Noise");
KV_POINT_BENCHMARK(SpeckleNoise, "Speckle Noise");
KV_POINT_BENCHMARK(SaltAndPepperNoise, "Salt-and-Pepper Noise");
KV_POINT_BENCHMARK(SaltNoise, "Salt Noise");
KV_POINT_BENCHMARK(PepperNoise, "Pepper Noise");
KV_POINT_BENCHMARK(RandomValuedNoise, "Random Valued (uniform) Noise");
KV_POINT_BENCHMARK(ImpulseGaussianNoise, "Random Valued (gaussian) Noise");

}  // namespace
