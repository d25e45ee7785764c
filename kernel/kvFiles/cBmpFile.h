#pragma once
// BMP pictures, read by hand: Windows and OS/2 headers of every size, 1/2/4/8-bit palettes,
// 16/24/32-bit pixels with or without bit-field masks, and RLE4, RLE8 and OS/2 RLE24
// compression, into the 8-bit grey or blue-green-red planes of a surface.
#include <array>
#include <cstdint>
#include <string>

#include "kvPixels/cBMPSurface.h"

class cBmpFile {
public:
  // Decodes fileName into surface, a fresh one (after a failure its pixels mean nothing), and
  // copies the file header into fileHeader. Palette pictures whose entries are all grey load
  // as one channel, everything else as three. Channels of fewer than 8 bits are scaled as
  // round(v x 255 / (2^bits - 1)); an alpha mask is dropped (report.AlphaDropped). False, with
  // the reason in report, for a damaged file (header fields out of range, masks that overlap
  // or have gaps, run codes that leave the picture or run out of data, data cut short), for a
  // JPEG- or PNG-compressed one, and for a picture of more than maxPixels or whose pixels pass
  // cBMPSurface::MaxImageBytes (checked from the header, before anything is allocated).
  static bool Load(const std::string& fileName, cBMPSurface& surface, uint64_t maxPixels, sLoadReport& report,
                   std::array<uint8_t, cBMPSurface::FileHeaderSize>& fileHeader);
};
