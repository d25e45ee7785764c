// Cost of measuring a picture against its origin: MSE/PSNR (with the synchronous IQHVS of
// measuring), the windowed indices and the spectrum, on 512 x 512 grey and colour pictures.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>

#include "kvMeasures/cChannelProperties.h"
#include "kvImages/cImage.h"
#include "kvMeasures/cPictureComparison.h"
#include "kvRuntime/cWorkerPool.h"

namespace {

struct sPair {
  std::unique_ptr<cImage> Origin;
  std::unique_ptr<cImage> Noisy;
};

sPair MakePair(int channels)
{
  const int w = 512, h = 512;
  sPair p{std::make_unique<cImage>(), std::make_unique<cImage>()};
  p.Origin->SetSize(w, h, channels);
  p.Noisy->SetSize(w, h, channels);
  std::mt19937 rng(1);
  std::normal_distribution<double> noise(0, 12);
  for (int y = 0; y < h; ++y)
    for (int i = 0; i < w * channels; ++i) {
      const int v = (i / channels * 3 + y * 2 + (i % channels) * 40) % 256;
      p.Origin->GetSurface()->Row(y)[i] = uint8_t(v);
      p.Noisy->GetSurface()->Row(y)[i] = uint8_t(std::clamp(v + int(noise(rng)), 0, 255));
    }
  return p;
}

// One plain pass over every sample, the yardstick for the indices below.
void BM_OnePass(benchmark::State& state)
{
  sPair p = MakePair(int(state.range(0)));
  cBMPSurface& s = *p.Noisy->GetSurface();
  for (auto _ : state) {
    uint64_t sum = 0;
    for (int y = 0; y < s.GetHeight(); ++y)
      for (int i = 0; i < s.GetWidth() * s.GetChannelsCount(); ++i) sum += s.Row(y)[i];
    benchmark::DoNotOptimize(sum);
  }
}

void BM_MeasureMSEPSNR(benchmark::State& state)
{
  sPair p = MakePair(int(state.range(0)));
  for (auto _ : state) {
    p.Noisy->CalculateProperties(p.Origin.get());
    benchmark::DoNotOptimize(p.Noisy->GetPSNR());
  }
}

void RunIndex(benchmark::State& state, eQualityIndex kind)
{
  sPair p = MakePair(int(state.range(0)));
  const sQualitySettings settings;
  for (auto _ : state) {
    double sum = 0;
    for (int c = 0; c < p.Noisy->GetChannelsCount(); ++c)
      sum += cChannelProperties::Compute(kind, p.Noisy->GetSurface(), p.Origin->GetSurface(), c, settings);
    benchmark::DoNotOptimize(sum);
  }
}

void BM_IQ(benchmark::State& state)
{
  RunIndex(state, qiIQ);
}
void BM_SSIM(benchmark::State& state)
{
  RunIndex(state, qiSSIM);
}
void BM_IQHVS(benchmark::State& state)
{
  RunIndex(state, qiIQHVS);
}

void BM_Spectrum(benchmark::State& state)
{
  sPair p = MakePair(int(state.range(0)));
  for (auto _ : state) {
    p.Noisy->RemoveFFT();
    benchmark::DoNotOptimize(p.Noisy->GetSpectrumBI(stMagnitude, 20.0));
  }
}

}  // namespace

BENCHMARK(BM_OnePass)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeasureMSEPSNR)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IQ)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SSIM)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IQHVS)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Spectrum)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond);

// The compare page's quality map of a 4-megapixel colour picture on two threads, as the page
// makes it (the map, then its colours), beside the SSIM measure of the same pair on one thread.
namespace {
void MakeLargePair(cBMPSurface& a, cBMPSurface& b)
{
  constexpr int side = 2048;
  a.SetSize(side, side, 3);
  b.SetSize(side, side, 3);
  std::mt19937 rng(2);
  std::normal_distribution<double> noise(0, 12);
  for (int y = 0; y < side; ++y)
    for (int i = 0; i < side * 3; ++i) {
      const int v = (i / 3 * 3 + y * 2 + (i % 3) * 40) % 256;
      a.Row(y)[i] = uint8_t(v);
      b.Row(y)[i] = uint8_t(std::clamp(v + int(noise(rng)), 0, 255));
    }
}

void BM_SSIMMap4MPTwoThreads(benchmark::State& state)
{
  cBMPSurface a, b, picture;
  MakeLargePair(a, b);
  const unsigned threads = kvGetThreadCount();
  kvSetThreadCount(2);
  for (auto _ : state) {
    sQualityMap map;
    cPictureComparison::SSIMMap(a, b, sQualitySettings(), map);
    cPictureComparison::RenderMap(map, picture);
    benchmark::DoNotOptimize(picture.GetBits());
  }
  kvSetThreadCount(threads);
}

void BM_SSIM4MPMeasureOneThread(benchmark::State& state)
{
  cBMPSurface a, b;
  MakeLargePair(a, b);
  for (auto _ : state) {
    double sum = 0;
    for (int c = 0; c < 3; ++c) sum += cChannelProperties::ComputeSSIM(&b, &a, c, sQualitySettings());
    benchmark::DoNotOptimize(sum);
  }
}
}  // namespace

BENCHMARK(BM_SSIMMap4MPTwoThreads)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SSIM4MPMeasureOneThread)->Unit(benchmark::kMillisecond)->UseRealTime();
