#pragma once
// Writes small TIFF files with libtiff: grey, RGB, palette, CMYK, float; strips or tiles,
// contiguous or separate planes, any of libtiff's compressions; for the tests and the
// fuzzers' seeds.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <tiffio.h>

namespace kvtest {

struct TiffFileWriter {
  int Width = 20;
  int Height = 18;
  uint16_t Photometric = PHOTOMETRIC_RGB;
  uint16_t Bits = 8;
  uint16_t Samples = 3;
  uint16_t Compression = COMPRESSION_NONE;
  uint16_t SampleFormat = SAMPLEFORMAT_UINT;
  bool Separate = false;
  // 0: strips of RowsPerStrip rows; else square tiles of this size (a multiple of 16).
  uint32_t Tile = 0;
  uint32_t RowsPerStrip = 4;
  // Palette pictures: 2^Bits entries each of red, green, blue (16-bit).
  std::vector<uint16_t> Red, Green, Blue;
  // A second page after the first (multi-page files).
  bool SecondPage = false;
  // A predictor tag at any depth (libtiff writes one only at 8, 16, 32 and 64 bits): the tag
  // is patched in after writing; for horizontal differencing the samples are differenced here.
  uint16_t Predictor = PREDICTOR_NONE;
  // Sample k of pixel (x, y), below 2^Bits (float files: its value as a float).
  std::function<uint32_t(int, int, int)> Sample = [](int x, int y, int k) { return uint32_t(x * 13 + y * 7 + k * 50); };

  bool Write(const std::string& path) const
  {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif) return false;
    bool ok = WritePage(tif, 0);
    if (ok && SecondPage) ok = WritePage(tif, 1);
    TIFFClose(tif);
    return ok && (Predictor == PREDICTOR_NONE || PatchPredictorTag(path));
  }

private:
  // Turns the resolution unit entry of the first directory into a predictor entry.
  static bool PatchPredictorTag(const std::string& path)
  {
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    if (!f) return false;
    uint8_t header[8];
    bool ok = std::fread(header, 1, 8, f) == 8 && header[0] == 'I';
    const long directory = long(header[4] | (header[5] << 8) | (header[6] << 16) | (uint32_t(header[7]) << 24));
    uint8_t count[2];
    ok = ok && std::fseek(f, directory, SEEK_SET) == 0 && std::fread(count, 1, 2, f) == 2;
    bool patched = false;
    for (int i = 0; ok && !patched && i < (count[0] | (count[1] << 8)); ++i) {
      uint8_t entry[12];
      const long at = directory + 2 + 12 * i;
      ok = std::fseek(f, at, SEEK_SET) == 0 && std::fread(entry, 1, 12, f) == 12;
      if (ok && (entry[0] | (entry[1] << 8)) == TIFFTAG_RESOLUTIONUNIT) {
        const uint8_t tag[2] = {uint8_t(TIFFTAG_PREDICTOR & 0xFF), uint8_t(TIFFTAG_PREDICTOR >> 8)};
        ok = std::fseek(f, at, SEEK_SET) == 0 && std::fwrite(tag, 1, 2, f) == 2;
        patched = ok;
      }
    }
    return (std::fclose(f) == 0) && patched;
  }

  // Packs `count` pixels starting at (x0, y) of the samples given into a row of the file.
  std::vector<uint8_t> PackRow(int x0, int y, int count, int first, int perPixel, int page) const
  {
    const size_t values = size_t(count) * size_t(perPixel);
    std::vector<uint8_t> row((values * Bits + 7) / 8, 0);
    const uint32_t mask = Bits >= 32 ? 0xFFFFFFFFu : (uint32_t(1) << Bits) - 1;
    for (int i = 0; i < count; ++i)
      for (int s = 0; s < perPixel; ++s) {
        const int x = x0 + i;
        auto valueAt = [&](int column) {
          return column < Width && y < Height ? Sample(column, y, first + s) + uint32_t(page) * 100 : 0;
        };
        uint32_t v = valueAt(x) & mask;
        if (Predictor == PREDICTOR_HORIZONTAL && i > 0) v = (valueAt(x) - valueAt(x - 1)) & mask;
        const size_t at = size_t(i) * size_t(perPixel) + size_t(s);
        if (SampleFormat == SAMPLEFORMAT_IEEEFP) {
          const float f = float(v);
          std::memcpy(row.data() + 4 * at, &f, 4);
        } else if (Bits == 16) {
          const uint16_t w = uint16_t(v);
          std::memcpy(row.data() + 2 * at, &w, 2);
        } else if (Bits == 8) {
          row[at] = uint8_t(v);
        } else {
          // Most significant bit first, across byte boundaries for depths such as 12.
          const size_t bit = at * Bits;
          for (unsigned b = 0; b < Bits; ++b)
            if ((v >> (Bits - 1 - b)) & 1u)
              row[(bit + b) / 8] = uint8_t(row[(bit + b) / 8] | (0x80u >> ((bit + b) % 8)));
        }
      }
    return row;
  }

  bool WritePage(TIFF* tif, int page) const
  {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(Width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(Height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, Bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, Samples);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, SampleFormat);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, Photometric);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, Compression);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, Separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    const uint16_t colour = Photometric == PHOTOMETRIC_RGB ? 3 : Photometric == PHOTOMETRIC_SEPARATED ? 4 : 1;
    if (Samples > colour) {
      std::vector<uint16_t> extra(size_t(Samples - colour), EXTRASAMPLE_UNASSALPHA);
      TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, uint16_t(extra.size()), extra.data());
    }
    // Stands in for the predictor tag until PatchPredictorTag: the same type, and no tag
    // libtiff writes lies between the two numbers.
    if (Predictor != PREDICTOR_NONE) TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, Predictor);
    if (Photometric == PHOTOMETRIC_PALETTE) TIFFSetField(tif, TIFFTAG_COLORMAP, Red.data(), Green.data(), Blue.data());
    if (SecondPage) {
      TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
      TIFFSetField(tif, TIFFTAG_PAGENUMBER, uint16_t(page), uint16_t(2));
    }
    const int planes = Separate ? Samples : 1;
    const int perPixel = Separate ? 1 : Samples;
    if (Tile) {
      TIFFSetField(tif, TIFFTAG_TILEWIDTH, Tile);
      TIFFSetField(tif, TIFFTAG_TILELENGTH, Tile);
      for (int p = 0; p < planes; ++p)
        for (uint32_t ty = 0; ty < uint32_t(Height); ty += Tile)
          for (uint32_t tx = 0; tx < uint32_t(Width); tx += Tile) {
            std::vector<uint8_t> tile;
            for (uint32_t r = 0; r < Tile; ++r) {
              const auto row = PackRow(int(tx), int(ty + r), int(Tile), Separate ? p : 0, perPixel, page);
              tile.insert(tile.end(), row.begin(), row.end());
            }
            if (TIFFWriteEncodedTile(tif, TIFFComputeTile(tif, tx, ty, 0, uint16_t(p)), tile.data(),
                                     tmsize_t(tile.size())) < 0)
              return false;
          }
    } else {
      TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, RowsPerStrip);
      for (int p = 0; p < planes; ++p)
        for (int y = 0; y < Height; ++y) {
          auto row = PackRow(0, y, Width, Separate ? p : 0, perPixel, page);
          if (TIFFWriteScanline(tif, row.data(), uint32_t(y), uint16_t(p)) < 0) return false;
        }
    }
    return TIFFWriteDirectory(tif) != 0;
  }
};

}  // namespace kvtest
