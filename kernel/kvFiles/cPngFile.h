#pragma once
// PNG pictures through libpng: every colour type and bit depth read into the 8-bit grey or
// blue-green-red planes of a surface; grey and colour surfaces written losslessly.
#include <cstdint>
#include <string>

#include "kvPixels/cBMPSurface.h"

class cPngFile {
public:
  // Decodes fileName into surface, a fresh one (after a failure its pixels mean nothing). False for anything damaged
  // (bad CRC, zlib error, data cut short or too long), for a picture of more than maxPixels or
  // whose pixels pass cBMPSurface::MaxImageBytes (checked from the header), and for a file far
  // too small to hold the picture it claims. Alpha and transparency are dropped
  // (report.AlphaDropped); 16-bit samples are rounded to 8 bits.
  static bool Load(const std::string& fileName, cBMPSurface& surface, uint64_t maxPixels, sLoadReport& report);
  // Writes the surface as it is seen (row table order): 8-bit grey or 8-bit RGB. False, with
  // nothing left behind, when the file could not be written completely.
  static bool Save(const cBMPSurface& surface, const std::string& fileName);

  // The most bytes a deflate stream of n bytes can expand to (its best ratio is 1032:1), with
  // room for headers: a file claiming more raw data than this is refused unread.
  static uint64_t MostInflatedBytes(uint64_t compressedBytes) { return compressedBytes * 1032 + 65536; }
};
