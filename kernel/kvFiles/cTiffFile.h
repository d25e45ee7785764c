#pragma once
// TIFF pictures through libtiff: the first page of a file, in strips or tiles, uncompressed or
// LZW, Deflate or PackBits compressed, read into the 8-bit grey or blue-green-red planes of a
// surface.
#include <cstdint>
#include <string>

#include "kvPixels/cBMPSurface.h"

class cTiffFile {
public:
  // Decodes the first page of fileName into surface, a fresh one (after a failure its pixels
  // mean nothing). Grey (min-is-black or min-is-white) and RGB pictures of 1 to 16 unsigned
  // bits per sample and palette pictures of 1 to 8, contiguous or in separate planes, with the
  // horizontal predictor or without, with at most one extra sample (alpha, dropped:
  // report.AlphaDropped); samples are scaled to 8 bits as round(v x 255 / (2^bits - 1)). Any
  // other kind is refused with a sentence in report.Unsupported, a damaged file with one in
  // report.Damage. Refused too: anything libtiff
  // reports as an error, a strip or tile that does not decode whole, a picture of more than
  // maxPixels or whose pixels pass cBMPSurface::MaxImageBytes (checked from the header), and a
  // file far too small for the data it claims.
  static bool Load(const std::string& fileName, cBMPSurface& surface, uint64_t maxPixels, sLoadReport& report);
};
