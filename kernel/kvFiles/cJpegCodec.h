#pragma once
// JPEG through libjpeg-turbo, for the picture reader and the JPEG round trip alike. Codec
// errors come back as false, never by ending the process, and damaged image data (a scan cut
// short, bad entropy codes, a progressive file missing scans) is refused rather than filled in.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "kvPixels/cBMPSurface.h"

class cJpegCodec {
public:
  // Encodes width x height pixels of blue, green, red bytes, rows `stride` bytes apart, at
  // quality 0..100 (100 best).
  static bool Encode(const uint8_t* bgr, int width, int height, size_t stride, int quality, std::vector<uint8_t>& jpeg);
  // Reads a file into an empty surface: grey files as one channel, colour and CMYK as blue,
  // green, red. A picture of more than maxPixels (from the header) is refused before anything
  // is allocated for it; report says so.
  static bool Decode(std::FILE* file, cBMPSurface& surface, uint64_t maxPixels, sLoadReport& report);
  // Decodes a file held in memory into packed rows of blue, green, red bytes, whatever its
  // colour space, under the same rules.
  static bool Decode(const uint8_t* jpeg, size_t size, std::vector<uint8_t>& bgr, int& width, int& height,
                     uint64_t maxPixels);
};
