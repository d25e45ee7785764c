// The JPEG round trip's in-memory decoder under the fuzzer.
#include <cstdint>
#include <vector>

#include "kvFiles/cJpegCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  std::vector<uint8_t> bgr;
  int width = 0, height = 0;
  if (cJpegCodec::Decode(data, size, bgr, width, height, 4'000'000) && bgr.size() != size_t(width) * size_t(height) * 3)
    __builtin_trap();
  return 0;
}
