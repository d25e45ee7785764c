#pragma once
// Baseline JPEG encoding and decoding of 24-bit pictures held in memory (blue, green, red byte
// order, as a bitmap's scan lines). Codec errors are reported as false, never by ending the
// process.
#include <cstddef>
#include <cstdint>
#include <vector>

class cJpegMemoryCodec {
public:
  // Encodes width x height pixels, rows `stride` bytes apart, at quality 0..100 (100 best).
  static bool Encode(const uint8_t* bgr, int width, int height, size_t stride, int quality,
                     std::vector<uint8_t>& jpeg);
  // Decodes into packed rows of 3 bytes per pixel. A picture of more than maxPixels (width x
  // height, from the header) is refused before anything is allocated for it.
  static bool Decode(const uint8_t* jpeg, size_t size, std::vector<uint8_t>& bgr, int& width, int& height,
                     uint64_t maxPixels);
};
