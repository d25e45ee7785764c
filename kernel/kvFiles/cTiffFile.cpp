#include "kvFiles/cTiffFile.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include <tiffio.h>

namespace {

// What libtiff reported while reading; it carries on after some of its errors, and any error
// refuses the file.
struct sTiffErrors {
  bool Seen = false;
  std::string First;
};

int NoteTiffError(TIFF*, void* errors, const char* module, const char* format, va_list arguments)
{
  auto& noted = *static_cast<sTiffErrors*>(errors);
  if (!noted.Seen) {
    char text[256];
    std::vsnprintf(text, sizeof text, format, arguments);
    noted.First = (module && *module ? std::string(module) + ": " : std::string()) + text;
  }
  noted.Seen = true;
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

// The compressions refused, by name.
std::string CompressionName(uint16_t compression)
{
  switch (compression) {
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW: return "CCITT modified Huffman RLE";
    case COMPRESSION_CCITTFAX3: return "CCITT Group 3 fax";
    case COMPRESSION_CCITTFAX4: return "CCITT Group 4 fax";
    case COMPRESSION_OJPEG: return "Old-style JPEG";
    case COMPRESSION_JPEG: return "JPEG";
    case COMPRESSION_JBIG: return "JBIG";
    case COMPRESSION_JP2000: return "JPEG 2000";
    case COMPRESSION_LZMA: return "LZMA";
    case COMPRESSION_ZSTD: return "Zstandard";
    case COMPRESSION_WEBP: return "WebP";
    case COMPRESSION_JXL: return "JPEG XL";
    default: return "TIFF compression " + std::to_string(compression);
  }
}

// round(v x 255 / max) for samples of `bits` bits.
uint8_t To8Bits(uint32_t value, unsigned bits)
{
  if (bits == 8) return uint8_t(value);
  const uint32_t max = (uint32_t(1) << bits) - 1;
  return uint8_t((value * 255u + max / 2) / max);
}

// `count` samples of `bits` bits from a decoded row. 16-bit samples come in host order from
// libtiff; narrower ones are packed most significant bit first, across bytes where needed.
void UnpackSamples(const uint8_t* row, uint64_t count, unsigned bits, std::vector<uint32_t>& samples)
{
  samples.resize(size_t(count));
  if (bits == 16) {
    for (uint64_t i = 0; i < count; ++i) {
      uint16_t word;
      std::memcpy(&word, row + 2 * i, 2);
      samples[size_t(i)] = word;
    }
  } else if (bits == 8) {
    for (uint64_t i = 0; i < count; ++i) samples[size_t(i)] = row[i];
  } else {
    const uint32_t mask = (uint32_t(1) << bits) - 1;
    for (uint64_t i = 0; i < count; ++i) {
      const uint64_t bit = i * bits;
      const uint8_t* p = row + bit / 8;
      const unsigned offset = unsigned(bit % 8);
      // The bytes this sample touches, first one highest.
      const unsigned bytes = (offset + bits + 7) / 8;
      uint32_t window = 0;
      for (unsigned b = 0; b < bytes; ++b) window = (window << 8) | p[b];
      samples[size_t(i)] = (window >> (8 * bytes - offset - bits)) & mask;
    }
  }
}

// What one picture is and where its samples go.
struct sLayout {
  uint32_t Width = 0;
  uint32_t Height = 0;
  unsigned Bits = 8;
  unsigned SamplesPerPixel = 1;
  uint16_t Photometric = PHOTOMETRIC_MINISBLACK;
  bool Separate = false;
  // Horizontal differencing to undo (libtiff does it only for 8, 16, 32 and 64 bits).
  bool Predictor = false;
  int Channels = 1;
  // Palette pictures: the colour of each index, blue, green, red.
  std::vector<uint8_t> Palette;
};

// Stores `count` pixels of one decoded row, starting at column x0 of surface row y. `sample`
// is the plane of a picture in separate planes, else -1 (the row holds every sample).
void StoreRow(const uint8_t* row, const sLayout& layout, uint32_t x0, uint32_t count, int sample, uint8_t* target,
              std::vector<uint32_t>& samples)
{
  const unsigned perPixel = sample < 0 ? layout.SamplesPerPixel : 1;
  const unsigned bits = layout.Bits;
  UnpackSamples(row, uint64_t(count) * perPixel, bits, samples);
  if (layout.Predictor) {
    // Each sample was stored as its difference to the same sample of the pixel before.
    const uint32_t mask = (uint32_t(1) << bits) - 1;
    for (size_t i = perPixel; i < samples.size(); ++i) samples[i] = (samples[i] + samples[i - perPixel]) & mask;
  }
  for (uint32_t i = 0; i < count; ++i) {
    uint8_t* pixel = target + size_t(x0 + i) * size_t(layout.Channels);
    for (unsigned s = 0; s < perPixel; ++s) {
      const unsigned k = sample < 0 ? s : unsigned(sample);                  // which sample of the pixel
      if (k >= (layout.Photometric == PHOTOMETRIC_RGB ? 3u : 1u)) continue;  // alpha or extra
      const uint32_t v = samples[size_t(i) * perPixel + s];
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

// The predictor of a compressed page: the horizontal one is undone by the reader itself.
bool ReadPredictor(TIFF* tif, uint16_t compression, sLayout& layout, sLoadReport& report)
{
  if (compression == COMPRESSION_NONE || compression == COMPRESSION_PACKBITS) return true;
  uint16_t predictor = PREDICTOR_NONE;
  TIFFGetFieldDefaulted(tif, TIFFTAG_PREDICTOR, &predictor);
  if (predictor == PREDICTOR_FLOATINGPOINT) {
    report.Unsupported = UnsupportedText("integer samples with the floating-point predictor");
    return false;
  }
  if (predictor != PREDICTOR_NONE && predictor != PREDICTOR_HORIZONTAL) {
    report.Damage = "The TIFF file's predictor " + std::to_string(predictor) + " is out of range.";
    return false;
  }
  // Undone here at every depth, so that libtiff is told there is none.
  if (predictor == PREDICTOR_HORIZONTAL) {
    if (!TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_NONE)) return false;
    layout.Predictor = true;
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
  if (bits < 1 || bits > 16) {
    report.Unsupported = UnsupportedText(std::to_string(bits) + "-bit samples");
    return false;
  }
  if (photometric == PHOTOMETRIC_PALETTE && bits > 8) {
    report.Unsupported = UnsupportedText("a 16-bit palette");
    return false;
  }
  if (compression != COMPRESSION_NONE && compression != COMPRESSION_LZW && compression != COMPRESSION_ADOBE_DEFLATE &&
      compression != COMPRESSION_DEFLATE && compression != COMPRESSION_PACKBITS) {
    report.Unsupported = CompressionName(compression) +
                         " compression is not supported. TIFF files that are uncompressed or compressed with LZW, "
                         "Deflate or PackBits can be read.";
    return false;
  }
  if (!ReadPredictor(tif, compression, layout, report)) return false;
  layout.Bits = bits;
  layout.SamplesPerPixel = spp;
  layout.Photometric = photometric;
  layout.Separate = planar == PLANARCONFIG_SEPARATE && spp > 1;
  layout.Channels = colourSamples;
  report.AlphaDropped = spp > colourSamples;
  if (photometric == PHOTOMETRIC_PALETTE && !ReadPalette(tif, layout)) return false;
  return layout.Width > 0 && layout.Height > 0;
}

bool ReadStrips(TIFF* tif, const sLayout& layout, cBMPSurface& surface, const sTiffErrors& errors)
{
  uint32_t rowsPerStrip = 0;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  rowsPerStrip = rowsPerStrip == 0 ? layout.Height : std::min(rowsPerStrip, layout.Height);
  const uint64_t scanline = uint64_t(TIFFScanlineSize64(tif));
  if (scanline == 0) return false;
  std::vector<uint8_t> buffer(static_cast<size_t>(scanline * rowsPerStrip));
  std::vector<uint32_t> samples;
  const int planes = layout.Separate ? int(layout.SamplesPerPixel) : 1;
  for (int plane = 0; plane < planes; ++plane)
    for (uint32_t row = 0; row < layout.Height; row += rowsPerStrip) {
      const uint32_t rows = std::min(rowsPerStrip, layout.Height - row);
      const tmsize_t expected = tmsize_t(scanline * rows);
      const uint32_t strip = TIFFComputeStrip(tif, row, uint16_t(plane));
      if (TIFFReadEncodedStrip(tif, strip, buffer.data(), expected) != expected || errors.Seen) return false;
      for (uint32_t r = 0; r < rows; ++r)
        StoreRow(buffer.data() + r * scanline, layout, 0, layout.Width, layout.Separate ? plane : -1,
                 surface.Row(int(row + r)), samples);
    }
  return true;
}

bool ReadTiles(TIFF* tif, const sLayout& layout, cBMPSurface& surface, const sTiffErrors& errors)
{
  uint32_t tileWidth = 0, tileHeight = 0;
  if (!TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth) || !TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileHeight) ||
      tileWidth == 0 || tileHeight == 0)
    return false;
  const uint64_t tileRow = uint64_t(TIFFTileRowSize64(tif));
  const uint64_t tileSize = uint64_t(TIFFTileSize64(tif));
  if (tileRow == 0 || tileSize < tileRow * tileHeight || tileSize > cBMPSurface::MaxImageBytes) return false;
  std::vector<uint8_t> buffer(static_cast<size_t>(tileSize));
  std::vector<uint32_t> samples;
  const int planes = layout.Separate ? int(layout.SamplesPerPixel) : 1;
  for (int plane = 0; plane < planes; ++plane)
    for (uint64_t y = 0; y < layout.Height; y += tileHeight)
      for (uint64_t x = 0; x < layout.Width; x += tileWidth) {
        const uint32_t tile = TIFFComputeTile(tif, uint32_t(x), uint32_t(y), 0, uint16_t(plane));
        if (TIFFReadEncodedTile(tif, tile, buffer.data(), tmsize_t(tileSize)) != tmsize_t(tileSize) || errors.Seen)
          return false;
        const uint32_t rows = uint32_t(std::min<uint64_t>(tileHeight, layout.Height - y));
        const uint32_t columns = uint32_t(std::min<uint64_t>(tileWidth, layout.Width - x));
        for (uint32_t r = 0; r < rows; ++r)
          StoreRow(buffer.data() + r * tileRow, layout, uint32_t(x), columns, layout.Separate ? plane : -1,
                   surface.Row(int(y + r)), samples);
      }
  return true;
}

}  // namespace

bool cTiffFile::Load(const std::string& fileName, cBMPSurface& surface, uint64_t maxPixels, sLoadReport& report)
{
  std::error_code error;
  const uint64_t fileSize = std::filesystem::file_size(fileName, error);
  if (error) {
    report.Damage = "The file cannot be opened.";
    return false;
  }
  sTiffErrors errors;
  // The first thing libtiff complained of, else what this reader found.
  auto damaged = [&](const std::string& found) {
    report.Damage = errors.Seen ? "The TIFF file is damaged: " + errors.First : found;
    return false;
  };
  std::unique_ptr<TIFFOpenOptions, sOptionsFreer> options(TIFFOpenOptionsAlloc());
  if (!options) return false;
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), NoteTiffError, &errors);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), IgnoreTiffWarning, nullptr);
  // No single buffer of libtiff's may pass what a whole surface may hold.
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t(cBMPSurface::MaxImageBytes));
  std::unique_ptr<TIFF, sTiffCloser> tif(TIFFOpenExt(fileName.c_str(), "r", options.get()));
  if (!tif || errors.Seen) return damaged("The TIFF file's header or first directory cannot be read.");

  sLayout layout;
  sLoadReport found;
  if (!ReadLayout(tif.get(), layout, found) || errors.Seen) {
    report.Unsupported = found.Unsupported;
    if (found.Unsupported.empty())
      return damaged(found.Damage.empty() ? "The TIFF file's first directory lacks a size, a colour space or a "
                                            "colour map, or gives a size of 0."
                                          : found.Damage);
    return false;
  }
  if (uint64_t(layout.Width) * layout.Height > maxPixels) {
    report.TooManyPixels = true;
    report.Width = layout.Width;
    report.Height = layout.Height;
    return false;
  }
  const std::string size = std::to_string(layout.Width) + " x " + std::to_string(layout.Height);
  const uint64_t rowBytes = ((uint64_t(layout.Width) * (layout.Channels == 3 ? 24 : 8) + 31) / 32) * 4;
  if (rowBytes * layout.Height > cBMPSurface::MaxImageBytes)
    return damaged("The TIFF file claims " + size + " pixels, more than a picture may hold.");

  // What the strips or tiles decode to, against what a file of this size can hold.
  const bool tiled = TIFFIsTiled(tif.get()) != 0;
  const uint64_t decoded =
      tiled ? uint64_t(TIFFNumberOfTiles(tif.get())) * uint64_t(TIFFTileSize64(tif.get()))
            : uint64_t(TIFFScanlineSize64(tif.get())) * layout.Height * (layout.Separate ? layout.SamplesPerPixel : 1);
  uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
  if (decoded == 0 || decoded / MostDecodedPerByte(compression) > fileSize + 65536)
    return damaged("The TIFF file is far too small for the " + size + " pixels it claims.");

  surface.SetSize(int(layout.Width), int(layout.Height), layout.Channels);
  const bool read =
      tiled ? ReadTiles(tif.get(), layout, surface, errors) : ReadStrips(tif.get(), layout, surface, errors);
  if (!read || errors.Seen)
    return damaged(std::string("The TIFF file is cut short or damaged: a ") + (tiled ? "tile" : "strip") +
                   " does not decode whole.");
  report.AlphaDropped = found.AlphaDropped;
  return true;
}
