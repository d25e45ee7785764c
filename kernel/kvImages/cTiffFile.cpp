#include "kvImages/cTiffFile.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include <tiffio.h>

namespace {

// libtiff carries on after some of the errors it reports; any error refuses the file.
int NoteTiffError(TIFF*, void* seen, const char*, const char*, va_list)
{
  *static_cast<bool*>(seen) = true;
  return 1;
}
int IgnoreTiffWarning(TIFF*, void*, const char*, const char*, va_list)
{
  return 1;
}

struct sTiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
struct sOptionsFreer {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

std::string UnsupportedText(const std::string& what)
{
  return "The TIFF file holds " + what +
         ", which cannot be read. Grey, RGB and palette pictures of 1 to 16 unsigned bits per sample, with at most "
         "an alpha channel besides, uncompressed or compressed with LZW, Deflate or PackBits, can.";
}

// The most one compressed byte can decode to: a bound on what a file of its size may claim.
uint64_t MostDecodedPerByte(uint16_t compression)
{
  switch (compression) {
    case COMPRESSION_NONE: return 1;
    case COMPRESSION_PACKBITS: return 64;  // 2 bytes repeat one byte 128 times
    case COMPRESSION_LZW: return 2731;     // a 12-bit code stands for at most 4096 bytes
    default: return 1032;                  // deflate
  }
}

// round(v x 255 / max) for samples of `bits` bits.
uint8_t To8Bits(uint32_t value, unsigned bits)
{
  if (bits == 8) return uint8_t(value);
  const uint32_t max = (uint32_t(1) << bits) - 1;
  return uint8_t((value * 255u + max / 2) / max);
}

// What one picture is and where its samples go.
struct sLayout {
  uint32_t Width = 0;
  uint32_t Height = 0;
  unsigned Bits = 8;
  unsigned SamplesPerPixel = 1;
  uint16_t Photometric = PHOTOMETRIC_MINISBLACK;
  bool Separate = false;
  int Channels = 1;
  // Palette pictures: the colour of each index, blue, green, red.
  std::vector<uint8_t> Palette;
};

// Stores `count` pixels of one decoded row, starting at column x0 of surface row y. `sample`
// is the plane of a picture in separate planes, else -1 (the row holds every sample).
void StoreRow(const uint8_t* row, const sLayout& layout, uint32_t x0, uint32_t count, int sample, uint8_t* target)
{
  const unsigned perPixel = sample < 0 ? layout.SamplesPerPixel : 1;
  const unsigned bits = layout.Bits;
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* pixel = target + size_t(x0 + i) * size_t(layout.Channels);
    for (unsigned s = 0; s < perPixel; ++s) {
      const unsigned k = sample < 0 ? s : unsigned(sample);                  // which sample of the pixel
      if (k >= (layout.Photometric == PHOTOMETRIC_RGB ? 3u : 1u)) continue;  // alpha or extra
      const uint64_t at = uint64_t(i) * perPixel + s;
      uint32_t v;
      if (bits == 16) {
        uint16_t word;
        std::memcpy(&word, row + 2 * at, 2);  // libtiff hands 16-bit samples in host order
        v = word;
      } else if (bits == 8) {
        v = row[at];
      } else {
        const uint64_t bit = at * bits;
        v = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
      }
      switch (layout.Photometric) {
        case PHOTOMETRIC_RGB: pixel[2 - k] = To8Bits(v, bits); break;
        case PHOTOMETRIC_PALETTE: {
          const uint8_t* colour = layout.Palette.data() + 3 * size_t(v);
          if (layout.Channels == 1)
            pixel[0] = colour[0];
          else
            std::memcpy(pixel, colour, 3);
          break;
        }
        case PHOTOMETRIC_MINISWHITE: pixel[0] = uint8_t(255 - To8Bits(v, bits)); break;
        default: pixel[0] = To8Bits(v, bits); break;
      }
    }
  }
}

// The colour map as blue, green, red bytes. Maps whose entries all lie below 256 were written
// with 8-bit values, as libtiff's own RGBA reader assumes too.
bool ReadPalette(TIFF* tif, sLayout& layout)
{
  uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue) return false;
  const size_t count = size_t(1) << layout.Bits;
  bool eightBit = true;
  for (size_t i = 0; i < count; ++i)
    if (red[i] > 255 || green[i] > 255 || blue[i] > 255) eightBit = false;
  layout.Palette.resize(3 * count);
  layout.Channels = 1;
  for (size_t i = 0; i < count; ++i) {
    uint8_t* c = layout.Palette.data() + 3 * i;
    c[0] = eightBit ? uint8_t(blue[i]) : To8Bits(blue[i], 16);
    c[1] = eightBit ? uint8_t(green[i]) : To8Bits(green[i], 16);
    c[2] = eightBit ? uint8_t(red[i]) : To8Bits(red[i], 16);
    if (c[0] != c[1] || c[1] != c[2]) layout.Channels = 3;
  }
  return true;
}

// Checks the page against what can be read; false (with report.Unsupported for a kind of
// picture that is refused on purpose) otherwise.
bool ReadLayout(TIFF* tif, sLayout& layout, sLoadReport& report)
{
  uint16_t bits = 1, spp = 1, format = SAMPLEFORMAT_UINT, planar = PLANARCONFIG_CONTIG, compression = COMPRESSION_NONE;
  uint16_t photometric = 0;
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &layout.Width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &layout.Height))
    return false;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric)) return false;

  if (photometric == PHOTOMETRIC_SEPARATED) {
    report.Unsupported = UnsupportedText("CMYK (separated) colour");
    return false;
  }
  if (photometric != PHOTOMETRIC_MINISBLACK && photometric != PHOTOMETRIC_MINISWHITE &&
      photometric != PHOTOMETRIC_RGB && photometric != PHOTOMETRIC_PALETTE) {
    report.Unsupported =
        UnsupportedText("colour space " + std::to_string(photometric) + " (photometric interpretation)");
    return false;
  }
  if (format == SAMPLEFORMAT_IEEEFP || format == SAMPLEFORMAT_COMPLEXIEEEFP) {
    report.Unsupported = UnsupportedText("floating-point samples");
    return false;
  }
  if (format != SAMPLEFORMAT_UINT && format != SAMPLEFORMAT_VOID) {
    report.Unsupported = UnsupportedText("signed or complex samples");
    return false;
  }
  if (spp > 4) {
    report.Unsupported = UnsupportedText(std::to_string(spp) + " samples per pixel");
    return false;
  }
  const unsigned colourSamples = photometric == PHOTOMETRIC_RGB ? 3 : 1;
  if (spp < colourSamples || spp > colourSamples + 1) {
    report.Unsupported = UnsupportedText(std::to_string(spp) + " samples per pixel for its colour space");
    return false;
  }
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) {
    report.Unsupported = UnsupportedText(std::to_string(bits) + "-bit samples");
    return false;
  }
  if (photometric == PHOTOMETRIC_PALETTE && bits > 8) {
    report.Unsupported = UnsupportedText("a 16-bit palette");
    return false;
  }
  if (compression != COMPRESSION_NONE && compression != COMPRESSION_LZW && compression != COMPRESSION_ADOBE_DEFLATE &&
      compression != COMPRESSION_DEFLATE && compression != COMPRESSION_PACKBITS) {
    report.Unsupported = UnsupportedText("compression " + std::to_string(compression));
    return false;
  }
  layout.Bits = bits;
  layout.SamplesPerPixel = spp;
  layout.Photometric = photometric;
  layout.Separate = planar == PLANARCONFIG_SEPARATE && spp > 1;
  layout.Channels = colourSamples;
  report.AlphaDropped = spp > colourSamples;
  if (photometric == PHOTOMETRIC_PALETTE && !ReadPalette(tif, layout)) return false;
  return layout.Width > 0 && layout.Height > 0;
}

bool ReadStrips(TIFF* tif, const sLayout& layout, cBMPSurface& surface, const bool& errorSeen)
{
  uint32_t rowsPerStrip = 0;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  rowsPerStrip = rowsPerStrip == 0 ? layout.Height : std::min(rowsPerStrip, layout.Height);
  const uint64_t scanline = uint64_t(TIFFScanlineSize64(tif));
  if (scanline == 0) return false;
  std::vector<uint8_t> buffer(static_cast<size_t>(scanline * rowsPerStrip));
  const int planes = layout.Separate ? int(layout.SamplesPerPixel) : 1;
  for (int plane = 0; plane < planes; ++plane)
    for (uint32_t row = 0; row < layout.Height; row += rowsPerStrip) {
      const uint32_t rows = std::min(rowsPerStrip, layout.Height - row);
      const tmsize_t expected = tmsize_t(scanline * rows);
      const uint32_t strip = TIFFComputeStrip(tif, row, uint16_t(plane));
      if (TIFFReadEncodedStrip(tif, strip, buffer.data(), expected) != expected || errorSeen) return false;
      for (uint32_t r = 0; r < rows; ++r)
        StoreRow(buffer.data() + r * scanline, layout, 0, layout.Width, layout.Separate ? plane : -1,
                 surface.Row(int(row + r)));
    }
  return true;
}

bool ReadTiles(TIFF* tif, const sLayout& layout, cBMPSurface& surface, const bool& errorSeen)
{
  uint32_t tileWidth = 0, tileHeight = 0;
  if (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth) || !TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight) ||
      tileWidth == 0 || tileHeight == 0)
    return false;
  const uint64_t tileRow = uint64_t(TIFFTileRowSize64(tif));
  const uint64_t tileSize = uint64_t(TIFFTileSize64(tif));
  if (tileRow == 0 || tileSize < tileRow * tileHeight || tileSize > cBMPSurface::MaxImageBytes) return false;
  std::vector<uint8_t> buffer(static_cast<size_t>(tileSize));
  const int planes = layout.Separate ? int(layout.SamplesPerPixel) : 1;
  for (int plane = 0; plane < planes; ++plane)
    for (uint64_t y = 0; y < layout.Height; y += tileHeight)
      for (uint64_t x = 0; x < layout.Width; x += tileWidth) {
        const uint32_t tile = TIFFComputeTile(tif, uint32_t(x), uint32_t(y), 0, uint16_t(plane));
        if (TIFFReadEncodedTile(tif, tile, buffer.data(), tmsize_t(tileSize)) != tmsize_t(tileSize) || errorSeen)
          return false;
        const uint32_t rows = uint32_t(std::min<uint64_t>(tileHeight, layout.Height - y));
        const uint32_t columns = uint32_t(std::min<uint64_t>(tileWidth, layout.Width - x));
        for (uint32_t r = 0; r < rows; ++r)
          StoreRow(buffer.data() + r * tileRow, layout, uint32_t(x), columns, layout.Separate ? plane : -1,
                   surface.Row(int(y + r)));
      }
  return true;
}

}  // namespace

bool cTiffFile::Load(const std::string& fileName, cBMPSurface& surface, uint64_t maxPixels, sLoadReport& report)
{
  std::error_code error;
  const uint64_t fileSize = std::filesystem::file_size(fileName, error);
  if (error) return false;
  bool errorSeen = false;
  std::unique_ptr<TIFFOpenOptions, sOptionsFreer> options(TIFFOpenOptionsAlloc());
  if (!options) return false;
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), NoteTiffError, &errorSeen);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), IgnoreTiffWarning, nullptr);
  // No single buffer of libtiff's may pass what a whole surface may hold.
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t(cBMPSurface::MaxImageBytes));
  std::unique_ptr<TIFF, sTiffCloser> tif(TIFFOpenExt(fileName.c_str(), "r", options.get()));
  if (!tif || errorSeen) return false;

  sLayout layout;
  sLoadReport found;
  if (!ReadLayout(tif.get(), layout, found) || errorSeen) {
    report.Unsupported = found.Unsupported;
    return false;
  }
  if (uint64_t(layout.Width) * layout.Height > maxPixels) {
    report.TooManyPixels = true;
    report.Width = layout.Width;
    report.Height = layout.Height;
    return false;
  }
  const uint64_t rowBytes = ((uint64_t(layout.Width) * (layout.Channels == 3 ? 24 : 8) + 31) / 32) * 4;
  if (rowBytes * layout.Height > cBMPSurface::MaxImageBytes) return false;

  // What the strips or tiles decode to, against what a file of this size can hold.
  const bool tiled = TIFFIsTiled(tif.get()) != 0;
  const uint64_t decoded =
      tiled ? uint64_t(TIFFNumberOfTiles(tif.get())) * uint64_t(TIFFTileSize64(tif.get()))
            : uint64_t(TIFFScanlineSize64(tif.get())) * layout.Height * (layout.Separate ? layout.SamplesPerPixel : 1);
  uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
  if (decoded == 0 || decoded / MostDecodedPerByte(compression) > fileSize + 65536) return false;

  surface.SetSize(int(layout.Width), int(layout.Height), layout.Channels);
  const bool read =
      tiled ? ReadTiles(tif.get(), layout, surface, errorSeen) : ReadStrips(tif.get(), layout, surface, errorSeen);
  if (!read || errorSeen) return false;
  report.AlphaDropped = found.AlphaDropped;
  return true;
}
