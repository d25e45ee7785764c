// One picture reader under the fuzzer: the input is written to a file with the reader's
// extension (KV_FUZZ_EXTENSION) and loaded as the programs load pictures. Anything but a clean
// load or a clean refusal (a crash, a sanitizer report, a leak, a hang) is a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "kvRuntime/cuGlobalParameters.h"
#include "kvImages/cImage.h"

namespace {
std::string InputFile;
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
  // Pictures up to 4 megapixels: large enough for every code path, small enough to keep
  // thousands of runs a second (the limit itself is tested by the unit tests).
  GlobalParams->SetMaxPixels(4'000'000);
  char pattern[] = "/tmp/kv-fuzz-XXXXXX" KV_FUZZ_EXTENSION;
  const int fd = mkstemps(pattern, int(sizeof(KV_FUZZ_EXTENSION)) - 1);
  if (fd < 0) std::abort();
  close(fd);
  InputFile = pattern;
  std::atexit([] { std::remove(InputFile.c_str()); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  std::FILE* file = std::fopen(InputFile.c_str(), "wb");
  if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
  cImage image;
  if (image.LoadImage(InputFile)) {
    // A picture said to be whole must be whole: touch every pixel.
    unsigned sum = 0;
    cBMPSurface& surface = *image.GetSurface();
    for (int y = 0; y < surface.GetHeight(); ++y)
      for (int i = 0; i < surface.GetWidth() * surface.GetChannelsCount(); ++i) sum += surface.Row(y)[i];
    if (sum == 0xFFFFFFFFu) std::printf("%u\n", sum);
  }
  return 0;
}
