// Every operation on 2048 x 2048 pictures, the size of the photos researchers work on.
//   Peer/<work>    the works bench/peers.py also times with OpenCV and scikit-image;
//   Alone/<name>   every operation at its default parameters on the colour picture (the
//                  detector filters on the salt-and-pepper one).
// Each iteration times the operation's own run (what the kernel reports as its time), not
// the copy of the source into the result that precedes it. With KVADRA_BENCH_PICTURES=DIR
// the pictures are also written there as grey.bmp, colour.bmp and saltpepper.bmp, so other
// programs can work on exactly the same pixels.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "BenchSupport.h"

namespace {

constexpr int Side = 2048;

enum ePicture { pcGrey, pcColour, pcSaltPepper };

// Smooth shading with mild noise: every filter finds real variation but no constant areas.
void MakeSmoothNoisy(cImage& image, int channels)
{
  image.SetSize(Side, Side, channels);
  cBMPSurface& s = *image.GetSurface();
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0.0, 6.0);
  for (int y = 0; y < Side; ++y) {
    uint8_t* row = s.Row(y);
    for (int x = 0; x < Side; ++x)
      for (int c = 0; c < channels; ++c) {
        const double smooth =
            128.0 + 60.0 * std::sin(x / (90.0 + 25.0 * c)) * std::cos(y / 130.0) + 40.0 * std::sin((x + y) / 400.0 + c);
        row[x * channels + c] = uint8_t(std::clamp(smooth + noise(rng), 0.0, 255.0));
      }
  }
}

// The colour picture with 20 % of its samples turned into salt or pepper.
void AddSaltAndPepper(cImage& image)
{
  cBMPSurface& s = *image.GetSurface();
  std::mt19937 rng(11);
  const int n = Side * s.GetChannelsCount();
  for (int y = 0; y < Side; ++y) {
    uint8_t* row = s.Row(y);
    for (int i = 0; i < n; ++i) {
      const unsigned r = rng() % 100;
      if (r < 20) row[i] = r < 10 ? 0 : 255;
    }
  }
}

cImage& Picture(ePicture which)
{
  // Kept to the end of the process: destroyed at exit they would hand their planes back to
  // the kernel's plane pool after that pool is gone.
  static auto& pictures = *new std::map<ePicture, std::unique_ptr<cImage>>;
  auto& slot = pictures[which];
  if (!slot) {
    slot = std::make_unique<cImage>();
    MakeSmoothNoisy(*slot, which == pcGrey ? 1 : 3);
    if (which == pcSaltPepper) AddSaltAndPepper(*slot);
  }
  return *slot;
}

void WritePicturesIfAsked()
{
  const char* dir = std::getenv("KVADRA_BENCH_PICTURES");
  if (!dir || !*dir) return;
  std::filesystem::create_directories(dir);
  const std::pair<ePicture, const char*> files[] = {
      {pcGrey, "grey.bmp"}, {pcColour, "colour.bmp"}, {pcSaltPepper, "saltpepper.bmp"}};
  for (const auto& [which, name] : files)
    if (!Picture(which).SaveImage((std::filesystem::path(dir) / name).string()))
      std::fprintf(stderr, "could not write %s/%s\n", dir, name);
}

// Every package of the plug-in folder, loaded once.
kvbench::cLoadedPackage& Packages()
{
  static kvbench::cLoadedPackage packages = [] {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(KV_PLUGIN_DIR))
      if (entry.path().extension() == ".so") files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    return kvbench::cLoadedPackage(files);
  }();
  return packages;
}

using tSettings = std::vector<std::pair<std::string, int>>;

void RunOperation(benchmark::State& state, const std::string& name, ePicture picture, const tSettings& settings)
{
  acOperation* op = Packages().Find(name);
  if (!op) {
    state.SkipWithError(("operation not found: " + name).c_str());
    return;
  }
  op->GetParams()->ResetToDefault();
  for (const auto& [param, value] : settings)
    if (!kvbench::SetParam(state, *op, param, value)) return;
  cImage& source = Picture(picture);
  cImage result;
  op->SetInterfaces(&source, &result);
  tTerminateFlag terminated{false};
  // One whole run binds the region and sizes the result; then only the run itself is timed,
  // each time on a fresh copy of the source as a real run sees it.
  op->Execute(terminated);
  for (auto _ : state) {
    result.GetSurface()->MakeCopyFrom(*source.GetSurface());
    const auto started = std::chrono::steady_clock::now();
    op->OperationItself(terminated);
    const auto ended = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(ended - started).count());
    benchmark::DoNotOptimize(result.GetSurface()->GetBits());
  }
  state.SetItemsProcessed(state.iterations() * int64_t(Side) * Side * source.GetChannelsCount());
}

void Register(const std::string& benchmarkName, const std::string& operation, ePicture picture, tSettings settings = {})
{
  benchmark::RegisterBenchmark(benchmarkName.c_str(),
                               [=](benchmark::State& state) { RunOperation(state, operation, picture, settings); })
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
}

tSettings Window(const char* width, const char* height, int side)
{
  return {{width, side}, {height, side}};
}

// The operations a researcher restores salt-and-pepper pictures with.
bool IsDetectorFilter(const std::string& name)
{
  return name == "PSM Filter" || name == "APSM Filter" || name == "Tamsel Filter" || name == "Adaptive Median Filter" ||
         name == "Foolish Detector Median Filter" || name == "Foolish detector-Smart filter";
}

const int Registered = [] {
  WritePicturesIfAsked();
  for (int side : {3, 5}) {
    const std::string size = std::to_string(side) + "x" + std::to_string(side);
    Register("Peer/MedianGrey" + size, "Median Filter", pcGrey, Window("Width size", "Height size", side));
    Register("Peer/MedianColour" + size, "Median Filter", pcColour, Window("Width size", "Height size", side));
  }
  for (const char* kind : {"Maximum", "Minimum"}) {
    const std::string name = std::string(kind) + " Filter";
    Register("Peer/" + std::string(kind) + "Grey3x3", name, pcGrey, Window("Window width", "Window height", 3));
    Register("Peer/" + std::string(kind) + "Colour3x3", name, pcColour, Window("Window width", "Window height", 3));
  }
  Register("Peer/MeanColour3x3", "Arithmetic Mean", pcColour, Window("Window width", "Window height", 3));
  Register("Peer/InvertColour", "Invert", pcColour);
  Register("Peer/FlipVerticalColour", "Flip Vertical", pcColour);
  Register("Peer/FlipHorizontalColour", "Flip Horizontal", pcColour);
  Register("Peer/BicubicGrey2048to1024", "Resample", pcGrey,
           {{"NewWidth", Side / 2}, {"NewHeight", Side / 2}, {"ResampleType", 2}});

  // Whatever the packages hold, so a new operation is timed without touching this file; the
  // non-local filters take seconds per picture and are timed at 512 x 512 in their own benches.
  const std::set<std::string> ownBench = {"BM3D Filter", "Non-Local Means"};
  for (const std::string& name : Packages().Names())
    if (!ownBench.count(name)) Register("Alone/" + name, name, IsDetectorFilter(name) ? pcSaltPepper : pcColour);
  return 0;
}();

}  // namespace
