// Peak memory of the command-line program on a 24-megapixel colour photo (load, one filter,
// the measures), and the time it takes to refuse a tiny file that claims a huge picture.
// Each run is a child process, so its peak resident size is its own (wait4's ru_maxrss).
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kvImages/cImage.h"

namespace fs = std::filesystem;

namespace {

constexpr int PhotoWidth = 6000;
constexpr int PhotoHeight = 4000;

// The pictures made for the runs, removed when the program ends.
struct sScratch {
  sScratch() : Path(fs::temp_directory_path() / ("kvadra-bench-memory-" + std::to_string(getpid())))
  {
    fs::create_directories(Path);
  }
  ~sScratch()
  {
    std::error_code ignored;
    fs::remove_all(Path, ignored);
  }
  fs::path Path;
};

fs::path Scratch()
{
  static const sScratch folder;
  return folder.Path;
}

// The colour sample stretched to 6000 x 4000 with a little texture, so that filters and
// measures see a photo-like picture rather than flat areas.
std::string LargePhoto()
{
  static const std::string file = [] {
    cImage sample;
    sample.LoadImage(std::string(KV_SAMPLES_DIR) + "astronaut.bmp");
    const cBMPSurface& small = *sample.GetSurface();
    cBMPSurface photo;
    photo.SetSize(PhotoWidth, PhotoHeight, 3);
    uint32_t noise = 12345;
    for (int y = 0; y < PhotoHeight; ++y) {
      const uint8_t* src = small.Row(y * small.GetHeight() / PhotoHeight);
      uint8_t* dst = photo.Row(y);
      for (int x = 0; x < PhotoWidth; ++x)
        for (int c = 0; c < 3; ++c) {
          noise = noise * 1664525u + 1013904223u;
          const int v = src[3 * (x * small.GetWidth() / PhotoWidth) + c] + int(noise >> 29) - 4;
          dst[3 * x + c] = uint8_t(std::clamp(v, 0, 255));
        }
    }
    const std::string path = (Scratch() / "photo24mp.bmp").string();
    photo.SaveVisibleImage(path);
    return path;
  }();
  return file;
}

// A progressive JPEG header claiming 32768 x 32767 grey pixels, with almost no scan data.
std::string HugeClaim()
{
  static const std::string file = [] {
    const std::vector<uint8_t> bytes = {
        0xFF, 0xD8,                    // SOI
        0xFF, 0xDB, 0x00, 0x43, 0x00,  // DQT, table 0
        1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1, 1, 1, 1,
        1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1, 1, 1, 1,
        1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1,    1, 1, 1, 1,
        1,    1,    1,    0xFF, 0xC2, 0x00, 0x0B, 0x08, 0x7F, 0xFF, 0x80, 0x00, 0x01, 0x01, 0x11, 0x00,  // SOF2
        0xFF, 0xC4, 0x00, 0x14, 0x00, 0x01, 0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0, 0, 0, 0,
        0,    0x00,                                                        // DHT
        0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,  // SOS, DC first
        0xFF, 0xD9};
    const std::string path = (Scratch() / "huge.jpg").string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
  }();
  return file;
}

// Runs kvadra with the arguments; returns the child's peak resident size in bytes.
double PeakOfRun(const std::vector<std::string>& arguments, int& exitCode)
{
  const std::string program = std::string(KV_BIN_DIR) + "/kvadra";
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return double(usage.ru_maxrss) * 1024.0;
}

void BM_LargePhotoRunPeakMemory(benchmark::State& state)
{
  const std::string photo = LargePhoto();
  const double raw = double(PhotoWidth) * PhotoHeight * 3;
  double peak = 0;
  for (auto _ : state) {
    int code = 0;
    peak = PeakOfRun({"run", photo, "--op", "Median Filter", "--seed", "1"}, code);
    if (code != 0) {
      state.SkipWithError("kvadra run failed");
      return;
    }
  }
  state.counters["peak_MiB"] = peak / (1 << 20);
  state.counters["peak_per_raw_size"] = peak / raw;
}
BENCHMARK(BM_LargePhotoRunPeakMemory)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

void BM_HugeClaimRefusal(benchmark::State& state)
{
  const std::string file = HugeClaim();
  double peak = 0;
  for (auto _ : state) {
    int code = 0;
    peak = PeakOfRun({"run", file}, code);
    if (code != 1) {
      state.SkipWithError("the huge claim was not refused");
      return;
    }
  }
  state.counters["peak_MiB"] = peak / (1 << 20);
}
BENCHMARK(BM_HugeClaimRefusal)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
