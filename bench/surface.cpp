// Pixel access, BMP reading/writing and JPEG decoding of the picture containers.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <filesystem>
#include <string>

#include "kvPixels/cBMPSurface.h"
#include "kvImages/cImage.h"

namespace {

constexpr int Side = 512;

void Fill(cBMPSurface& s)
{
  s.SetSize(Side, Side, 3);
  for (int y = 0; y < Side; ++y) {
    uint8_t* row = s.Row(y);
    for (int i = 0; i < Side * 3; ++i) row[i] = uint8_t(i * 7 + y);
  }
}

std::string ScratchFile(const char* name)
{
  return (std::filesystem::temp_directory_path() / (std::string("kv_bench_") + std::to_string(::getpid()) + name))
      .string();
}

// One read of every sample of a 512 x 512 colour picture, channel by channel as operations do.
void BM_GetPixelSweep(benchmark::State& state)
{
  cBMPSurface s;
  Fill(s);
  for (auto _ : state) {
    unsigned sum = 0;
    for (int c = 0; c < 3; ++c) {
      s.CurrentChannel = c;
      for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) sum += s.GetPixel(x, y);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * Side * Side * 3);
}
BENCHMARK(BM_GetPixelSweep);

void BM_SetPixelSweep(benchmark::State& state)
{
  cBMPSurface s;
  Fill(s);
  for (auto _ : state) {
    for (int c = 0; c < 3; ++c) {
      s.CurrentChannel = c;
      for (int y = 0; y < Side; ++y)
        for (int x = 0; x < Side; ++x) s.SetPixel(x, y, uint8_t(x ^ y));
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * Side * Side * 3);
}
BENCHMARK(BM_SetPixelSweep);

// Reads through the border rule: a 3 x 3 neighbourhood around every edge pixel.
void BM_GetPixelBorder(benchmark::State& state)
{
  cBMPSurface s;
  Fill(s);
  s.CurrentChannel = 1;
  for (auto _ : state) {
    unsigned sum = 0;
    for (int i = 0; i < Side; ++i)
      for (int d = -1; d <= 1; ++d) {
        sum += s.GetPixel(i + d, -1) + s.GetPixel(i + d, Side);
        sum += s.GetPixel(-1, i + d) + s.GetPixel(Side, i + d);
      }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * Side * 12);
}
BENCHMARK(BM_GetPixelBorder);

void BM_BmpSave(benchmark::State& state)
{
  cBMPSurface s;
  Fill(s);
  const std::string file = ScratchFile("save.bmp");
  for (auto _ : state) benchmark::DoNotOptimize(s.SaveImage(file));
  std::filesystem::remove(file);
  state.SetBytesProcessed(state.iterations() * s.GetImageByteSize());
}
BENCHMARK(BM_BmpSave);

void BM_BmpLoad(benchmark::State& state)
{
  cBMPSurface s;
  Fill(s);
  const std::string file = ScratchFile("load.bmp");
  s.SaveImage(file);
  cBMPSurface target;
  for (auto _ : state) benchmark::DoNotOptimize(target.LoadImage(file));
  std::filesystem::remove(file);
  state.SetBytesProcessed(state.iterations() * s.GetImageByteSize());
}
BENCHMARK(BM_BmpLoad);

void BM_JpegDecodeColourSample(benchmark::State& state)
{
  cImage image;
  for (auto _ : state) {
    if (!image.LoadImage(KV_SAMPLES_DIR "coffee.jpg")) {
      state.SkipWithError("coffee.jpg did not load");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * 600 * 400);
}
BENCHMARK(BM_JpegDecodeColourSample);

}  // namespace
