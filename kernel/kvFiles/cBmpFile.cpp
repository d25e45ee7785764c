#include "kvFiles/cBmpFile.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

uint16_t ReadU16(const uint8_t* p)
{
  return uint16_t(p[0] | (p[1] << 8));
}
uint32_t ReadU32(const uint8_t* p)
{
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

constexpr uint16_t BMType = 19778;  // "BM"
constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr uint32_t BI_JPEG = 4;  // RLE24 in an OS/2 2.x header
constexpr uint32_t BI_PNG = 5;
constexpr uint32_t BI_ALPHABITFIELDS = 6;
constexpr uint64_t CoreHeaderSize = 12;

// How the pixels are stored.
enum eCoding { cdIndexed, cdDirect, cdRle8, cdRle4, cdRle24 };

// One colour channel of a 16- or 32-bit pixel.
struct sChannelMask {
  uint32_t Mask = 0;
  unsigned Shift = 0;
  unsigned Bits = 0;
};

// What the headers of a readable file say, checked against the file's size.
struct sBmpHeader {
  uint64_t Width = 0;
  uint64_t Height = 0;
  bool TopDown = false;
  unsigned Bits = 0;
  eCoding Coding = cdDirect;
  uint64_t InfoSize = 0;
  uint64_t PixelOffset = 0;
  uint32_t ColoursUsed = 0;
  unsigned PaletteEntryBytes = 4;  // 3 in OS/2 1.x files
  uint64_t HeadersEnd = 0;         // where the pixels may start at the earliest
  uint64_t FileRowBytes = 0;
  // Blue, green, red of a 16- or 32-bit pixel; plain 8-8-8 files use none.
  bool PlainDirect = true;
  sChannelMask Masks[3];
  uint32_t AlphaMask = 0;
};

bool Damaged(sLoadReport& report, const std::string& text)
{
  report.Damage = text;
  return false;
}
bool Unsupported(sLoadReport& report, const std::string& text)
{
  report.Unsupported = text;
  return false;
}

std::string Hex(uint32_t value)
{
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

const char* CodingName(eCoding coding)
{
  return coding == cdRle8 ? "RLE8" : coding == cdRle4 ? "RLE4" : "RLE24";
}

// Checks the bit-field masks (blue, green, red, alpha) and takes the colour ones apart.
bool ReadMasks(const uint32_t (&masks)[4], sBmpHeader& header, sLoadReport& report)
{
  static const char* const names[4] = {"blue", "green", "red", "alpha"};
  const uint32_t pixelBits = header.Bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
  uint32_t seen = 0;
  for (int i = 0; i < 4; ++i) {
    const uint32_t m = masks[i];
    if (m == 0) continue;  // a channel that is not stored reads as 0
    const std::string what = std::string("The BMP's ") + names[i] + " mask " + Hex(m);
    if (m & ~pixelBits) return Damaged(report, what + " reaches beyond its 16-bit pixels.");
    if (m & seen) return Damaged(report, what + " overlaps another channel's mask.");
    seen |= m;
    const unsigned shift = unsigned(std::countr_zero(m));
    const uint32_t run = m >> shift;
    if (run & (run + 1)) return Damaged(report, what + " is not contiguous.");
    const unsigned bits = unsigned(std::popcount(m));
    if (i < 3) {
      if (bits > 16) return Damaged(report, what + " is wider than 16 bits.");
      header.Masks[i] = {m, shift, bits};
    }
  }
  header.AlphaMask = masks[3];
  header.PlainDirect = header.Bits == 32 && masks[0] == 0xFFu && masks[1] == 0xFF00u && masks[2] == 0xFF0000u;
  return true;
}

// How the pixels of a file of this compression and depth are stored; os2: the header is an
// OS/2 2.x one, whose codes 3 and 4 mean other compressions.
bool DecideCoding(uint32_t compression, bool os2, sBmpHeader& header, sLoadReport& report)
{
  const unsigned bits = header.Bits;
  const std::string depth = std::to_string(bits) + "-bit pixels";
  switch (compression) {
    case BI_RGB: header.Coding = bits <= 8 ? cdIndexed : cdDirect; break;
    case BI_RLE8:
      if (bits != 8) return Damaged(report, "RLE8 compression needs 8-bit pixels, but the BMP has " + depth + ".");
      header.Coding = cdRle8;
      break;
    case BI_RLE4:
      if (bits != 4) return Damaged(report, "RLE4 compression needs 4-bit pixels, but the BMP has " + depth + ".");
      header.Coding = cdRle4;
      break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
      if (os2 && compression == BI_BITFIELDS)
        return Unsupported(report, "The BMP file is compressed with OS/2 Huffman 1D coding, which is not supported.");
      if (bits != 16 && bits != 32)
        return Damaged(report, "Bit-field masks need 16- or 32-bit pixels, but the BMP has " + depth + ".");
      header.Coding = cdDirect;
      break;
    case BI_JPEG:
      if (!os2) return Unsupported(report, "The BMP file holds a JPEG-compressed picture, which is not supported.");
      if (bits != 24) return Damaged(report, "RLE24 compression needs 24-bit pixels, but the BMP has " + depth + ".");
      header.Coding = cdRle24;
      break;
    case BI_PNG: return Unsupported(report, "The BMP file holds a PNG-compressed picture, which is not supported.");
    default: return Unsupported(report, "BMP compression " + std::to_string(compression) + " is not supported.");
  }
  return true;
}

// The channel masks of a direct-colour file: the default ones, those of a V3 or later header, or
// those that follow a shorter header.
bool ReadDirectMasks(const uint8_t* h, uint32_t compression, uint64_t size, sBmpHeader& header, sLoadReport& report)
{
  const unsigned bits = header.Bits;
  const uint64_t infoSize = header.InfoSize;
  uint32_t masks[4] = {0, 0, 0, 0};  // blue, green, red, alpha
  if (compression == BI_RGB) {
    // The masks a V3 or later header holds count only for bit-field files.
    masks[0] = bits == 16 ? 0x001Fu : 0x0000FFu;
    masks[1] = bits == 16 ? 0x03E0u : 0x00FF00u;
    masks[2] = bits == 16 ? 0x7C00u : 0xFF0000u;
  } else if (infoSize >= 52) {
    masks[2] = ReadU32(h + 40);
    masks[1] = ReadU32(h + 44);
    masks[0] = ReadU32(h + 48);
    masks[3] = infoSize >= 56 ? ReadU32(h + 52) : 0;
  } else {
    // A shorter header is followed by the masks.
    const uint64_t count = compression == BI_ALPHABITFIELDS ? 4 : 3;
    if (header.HeadersEnd + 4 * count > size)
      return Damaged(report, "The BMP file is cut short inside its bit-field masks.");
    const uint8_t* m = h + infoSize;
    masks[2] = ReadU32(m);
    masks[1] = ReadU32(m + 4);
    masks[0] = ReadU32(m + 8);
    if (count == 4) masks[3] = ReadU32(m + 12);
    header.HeadersEnd += 4 * count;
  }
  return ReadMasks(masks, header, report);
}

// Reads the file and info headers (with the masks of a bit-field file) and decides how the
// pixels are stored.
bool ReadBmpHeader(std::ifstream& file, uint64_t size, uint8_t* fileHeader, sBmpHeader& header, sLoadReport& report)
{
  // Room for the largest header known (124 bytes) and masks after a 40-byte one.
  std::vector<uint8_t> head(cBMPSurface::FileHeaderSize + 124 + 16, 0);
  const std::streamsize headBytes = std::streamsize(std::min<uint64_t>(head.size(), size));
  if (!file.read(reinterpret_cast<char*>(head.data()), headBytes)) return false;
  const uint8_t* d = head.data();
  if (size < 2 || ReadU16(d) != BMType) return Damaged(report, "The file does not start with \"BM\".");
  if (size < cBMPSurface::FileHeaderSize + 4) return Damaged(report, "The BMP file is cut short inside its headers.");
  header.PixelOffset = ReadU32(d + 10);
  header.InfoSize = ReadU32(d + 14);
  const uint64_t infoSize = header.InfoSize;
  if (infoSize < CoreHeaderSize || (infoSize > CoreHeaderSize && infoSize < 16))
    return Damaged(report,
                   "The BMP info header size " + std::to_string(infoSize) + " is out of range (12, or 16 and more).");
  if (cBMPSurface::FileHeaderSize + infoSize > size)
    return Damaged(report, "The BMP file is cut short inside its " + std::to_string(infoSize) + "-byte info header.");
  const uint8_t* h = d + cBMPSurface::FileHeaderSize;
  int64_t width, height;
  uint32_t compression = BI_RGB;
  if (infoSize == CoreHeaderSize) {
    // OS/2 1.x: 16-bit sizes, always bottom-up, palette entries of 3 bytes.
    width = ReadU16(h + 4);
    height = ReadU16(h + 6);
    header.Bits = ReadU16(h + 10);
    header.PaletteEntryBytes = 3;
  } else {
    // An OS/2 2.x header may end after any field; the ones it leaves out are 0.
    auto field = [&](uint64_t at) { return at + 4 <= infoSize ? ReadU32(h + at) : 0u; };
    width = int32_t(ReadU32(h + 4));
    height = int32_t(ReadU32(h + 8));
    header.Bits = ReadU16(h + 14);
    compression = field(16);
    header.ColoursUsed = field(32);
  }
  const bool os2 = infoSize >= 16 && infoSize <= 64 && infoSize != 40 && infoSize != 52 && infoSize != 56;
  if (width <= 0) return Damaged(report, "The BMP header's width " + std::to_string(width) + " is out of range.");
  if (height == 0 || height == INT32_MIN)
    return Damaged(report, "The BMP header's height " + std::to_string(height) + " is out of range.");
  const unsigned bits = header.Bits;
  if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return Damaged(report,
                   "The BMP header's bit depth " + std::to_string(bits) + " is none of 1, 2, 4, 8, 16, 24 or 32.");
  if (!DecideCoding(compression, os2, header, report)) return false;
  header.Width = uint64_t(width);
  header.TopDown = height < 0;
  header.Height = header.TopDown ? uint64_t(-height) : uint64_t(height);
  if (header.TopDown && header.Coding >= cdRle8)
    return Damaged(report, std::string("A BMP with ") + CodingName(header.Coding) +
                               " compression must be stored bottom-up, but its height is negative.");
  header.HeadersEnd = cBMPSurface::FileHeaderSize + infoSize;

  if (header.Coding == cdDirect && bits != 24 && !ReadDirectMasks(h, compression, size, header, report)) return false;
  // Both are below 2^31 here, so the products that use them cannot overflow 64 bits.
  header.FileRowBytes = ((header.Width * bits + 31) / 32) * 4;
  std::memcpy(fileHeader, d, cBMPSurface::FileHeaderSize);
  return true;
}

// The palette of an indexed file as blue, green, red, 0 entries; the picture is grey (one
// channel) when every entry is.
bool ReadBmpPalette(std::ifstream& file, uint64_t size, sBmpHeader& header, std::vector<uint8_t>& palette,
                    int& channels, sLoadReport& report)
{
  const uint64_t maxColours = uint64_t(1) << header.Bits;
  const uint64_t count = header.ColoursUsed == 0 ? maxColours : std::min<uint64_t>(header.ColoursUsed, maxColours);
  const uint64_t paletteOffset = header.HeadersEnd;
  const uint64_t entryBytes = header.PaletteEntryBytes;
  header.HeadersEnd = paletteOffset + entryBytes * count;
  if (header.HeadersEnd > size) return Damaged(report, "The BMP file is cut short inside its palette.");
  std::vector<uint8_t> entries(size_t(entryBytes * count));
  file.clear();
  file.seekg(std::streamoff(paletteOffset));
  if (!file.read(reinterpret_cast<char*>(entries.data()), std::streamsize(entries.size()))) return false;
  palette.assign(size_t(4 * count), 0);
  channels = 1;
  for (uint64_t i = 0; i < count; ++i) {
    uint8_t* e = palette.data() + 4 * i;
    std::memcpy(e, entries.data() + entryBytes * i, 3);
    if (e[0] != e[1] || e[1] != e[2]) channels = 3;
  }
  return true;
}

void WritePixel(uint8_t* dst, uint64_t x, int channels, const uint8_t* bgr)
{
  if (channels == 3)
    std::memcpy(dst + 3 * x, bgr, 3);
  else
    dst[x] = bgr[0];
}

// The colour of a palette index; an index beyond the palette the file holds reads as black.
const uint8_t* PaletteColour(const std::vector<uint8_t>& palette, unsigned index)
{
  static constexpr uint8_t black[4] = {0, 0, 0, 0};
  return index < palette.size() / 4 ? palette.data() + 4 * size_t(index) : black;
}

// round(v x 255 / (2^bits - 1)) of one masked channel.
uint8_t MaskedChannel(uint32_t pixel, const sChannelMask& channel)
{
  if (channel.Bits == 0) return 0;
  const uint32_t v = (pixel & channel.Mask) >> channel.Shift;
  if (channel.Bits == 8) return uint8_t(v);
  const uint32_t max = (uint32_t(1) << channel.Bits) - 1;
  return uint8_t((v * 255u + max / 2) / max);
}

// One file row of a 16-, 24- or 32-bit file into a surface row.
void ReadDirectRow(const uint8_t* src, uint8_t* dst, const sBmpHeader& header)
{
  const uint64_t width = header.Width;
  if (header.Bits == 24) {
    std::memcpy(dst, src, size_t(width) * 3);  // same layout as the surface row
  } else if (header.PlainDirect) {
    for (uint64_t x = 0; x < width; ++x) std::memcpy(dst + 3 * x, src + 4 * x, 3);
  } else {
    for (uint64_t x = 0; x < width; ++x) {
      const uint32_t pixel = header.Bits == 16 ? ReadU16(src + 2 * x) : ReadU32(src + 4 * x);
      for (int c = 0; c < 3; ++c) dst[3 * x + size_t(c)] = MaskedChannel(pixel, header.Masks[c]);
    }
  }
}

// One file row of an indexed file into a surface row of the given channels.
void ReadIndexedRow(const uint8_t* src, uint8_t* dst, uint64_t width, unsigned bits,
                    const std::vector<uint8_t>& palette, int channels)
{
  const unsigned mask = (1u << bits) - 1;
  for (uint64_t x = 0; x < width; ++x) {
    const uint64_t bit = x * bits;  // most significant first within a byte
    const unsigned index = (src[bit / 8] >> (8 - bits - bit % 8)) & mask;
    WritePixel(dst, x, channels, PaletteColour(palette, index));
  }
}

// Decodes RLE8, RLE4 or RLE24 data into a surface already filled with the colour of skipped
// pixels. Rows run bottom-up.
bool DecodeRle(const std::vector<uint8_t>& data, const sBmpHeader& header, const std::vector<uint8_t>& palette,
               cBMPSurface& surface, sLoadReport& report)
{
  const eCoding coding = header.Coding;
  const std::string name = CodingName(coding);
  const int channels = surface.GetChannelsCount();
  const uint64_t width = header.Width, height = header.Height;
  const size_t size = data.size();
  uint64_t x = 0, y = 0;  // y counts rows from the bottom
  size_t at = 0;
  auto past = [&]() {
    return Damaged(report, "The " + name + " data write past the picture's edge (row " + std::to_string(y) +
                               " from the bottom, column " + std::to_string(x) + ").");
  };
  // Pixel i of a run or absolute block at `from`.
  auto put = [&](uint64_t column, const uint8_t* from, uint64_t i, bool repeat) {
    uint8_t* row = surface.Row(int(height - 1 - y));
    if (coding == cdRle24) {
      const uint8_t* bgr = repeat ? from : from + 3 * i;
      WritePixel(row, column, channels, bgr);
      return;
    }
    unsigned index;
    if (coding == cdRle8)
      index = repeat ? from[0] : from[i];
    else if (repeat)
      index = (i & 1) ? from[0] & 0x0F : from[0] >> 4;
    else
      index = (i & 1) ? from[i / 2] & 0x0F : from[i / 2] >> 4;
    WritePixel(row, column, channels, PaletteColour(palette, index));
  };
  while (at + 2 <= size) {
    const unsigned count = data[at], second = data[at + 1];
    at += 2;
    if (count > 0) {
      // A run: one index (RLE8), two alternating ones (RLE4) or one colour (RLE24).
      const uint8_t* from = data.data() + at - 1;
      if (coding == cdRle24) {
        if (at + 2 > size) break;
        at += 2;
      }
      if (y >= height || x + count > width) return past();
      for (unsigned i = 0; i < count; ++i) put(x + i, from, i, true);
      x += count;
    } else if (second == 0) {  // end of line
      x = 0;
      ++y;
    } else if (second == 1) {  // end of bitmap: the rest stays as skipped
      return true;
    } else if (second == 2) {  // delta
      if (at + 2 > size) break;
      x += data[at];
      y += data[at + 1];
      at += 2;
      if (x > width || y > height || (y == height && x > 0))
        return Damaged(report, "A delta code of the " + name + " data moves past the picture's edge.");
    } else {
      // Absolute mode: `second` pixels as they are, padded to a 16-bit boundary.
      const size_t bytes = coding == cdRle8 ? second : coding == cdRle4 ? (second + 1) / 2 : 3 * size_t(second);
      if (at + bytes > size) break;
      if (y >= height || x + second > width) return past();
      for (unsigned i = 0; i < second; ++i) put(x + i, data.data() + at, i, false);
      x += second;
      at += bytes + (bytes & 1);
    }
  }
  // Data that end after the last row's end-of-line code lack only the end-of-bitmap code.
  if (y >= height) return true;
  return Damaged(report, "The " + name + " data run out before the end of the picture.");
}

}  // namespace

bool cBmpFile::Load(const std::string& fileName, cBMPSurface& surface, uint64_t maxPixels, sLoadReport& report,
                    std::array<uint8_t, cBMPSurface::FileHeaderSize>& fileHeader)
{
  std::ifstream file(fileName, std::ios::binary);
  if (!file) return Damaged(report, "The file cannot be opened.");
  file.seekg(0, std::ios::end);
  const std::streamoff fileSize = file.tellg();
  file.seekg(0, std::ios::beg);
  if (fileSize < 0) return Damaged(report, "The file cannot be read.");
  const uint64_t size = uint64_t(fileSize);
  // The headers first; the pixels are read once the header has shown that the picture may
  // be taken.
  sBmpHeader header;
  if (!ReadBmpHeader(file, size, fileHeader.data(), header, report)) return false;
  if (header.Width * header.Height > maxPixels) {
    report.TooManyPixels = true;
    report.Width = header.Width;
    report.Height = header.Height;
    return false;
  }
  std::vector<uint8_t> palette;
  int channels = 3;
  const bool indexed = header.Coding == cdIndexed || header.Coding == cdRle8 || header.Coding == cdRle4;
  if (indexed && !ReadBmpPalette(file, size, header, palette, channels, report)) return false;
  if (header.PixelOffset < header.HeadersEnd)
    return Damaged(report, "The BMP's pixel data offset " + std::to_string(header.PixelOffset) +
                               " lies inside its headers, which end at " + std::to_string(header.HeadersEnd) + ".");
  if (header.PixelOffset > size)
    return Damaged(report, "The BMP's pixel data offset " + std::to_string(header.PixelOffset) +
                               " lies beyond the end of the file (" + std::to_string(size) + " bytes).");
  const bool compressed = header.Coding >= cdRle8;
  const uint64_t available = size - header.PixelOffset;
  if (!compressed && header.FileRowBytes * header.Height > available)
    return Damaged(report, "The BMP file is cut short: its pixels take " +
                               std::to_string(header.FileRowBytes * header.Height) + " bytes, but only " +
                               std::to_string(available) + " follow the pixel data offset.");
  const uint64_t surfaceRowBytes = ((header.Width * (channels == 3 ? 24 : 8) + 31) / 32) * 4;
  if (surfaceRowBytes * header.Height > cBMPSurface::MaxImageBytes)
    return Damaged(report, "The BMP header claims " + std::to_string(header.Width) + " x " +
                               std::to_string(header.Height) + " pixels, more than a picture may hold.");

  surface.SetSize(int(header.Width), int(header.Height), channels);
  file.clear();
  file.seekg(std::streamoff(header.PixelOffset));
  if (compressed) {
    // Skipped pixels take the first palette entry (black in RLE24).
    if (header.Coding != cdRle24 && !palette.empty())
      for (int y = 0; y < surface.GetHeight(); ++y)
        for (uint64_t x = 0; x < header.Width; ++x) WritePixel(surface.Row(y), x, channels, palette.data());
    // No valid stream needs more than 4 bytes a pixel and an end of line per row.
    const uint64_t most = 4 * header.Width * header.Height + 4 * header.Height + 1024;
    std::vector<uint8_t> data(size_t(std::min(available, most)));
    if (!file.read(reinterpret_cast<char*>(data.data()), std::streamsize(data.size())))
      return Damaged(report, "The BMP file cannot be read.");
    if (!DecodeRle(data, header, palette, surface, report)) return false;
  } else {
    std::vector<uint8_t> src(static_cast<size_t>(header.FileRowBytes));
    for (uint64_t fileRow = 0; fileRow < header.Height; ++fileRow) {
      if (!file.read(reinterpret_cast<char*>(src.data()), std::streamsize(header.FileRowBytes)))
        return Damaged(report, "The BMP file cannot be read.");
      const uint64_t y = header.TopDown ? fileRow : header.Height - 1 - fileRow;
      uint8_t* dst = surface.Row(int(y));
      if (header.Coding == cdDirect)
        ReadDirectRow(src.data(), dst, header);
      else
        ReadIndexedRow(src.data(), dst, header.Width, header.Bits, palette, channels);
    }
  }
  report.AlphaDropped = header.AlphaMask != 0;
  return true;
}

// The surface's own BMP reader is defined here, beside the format it reads, so that the pixel
// floor knows no file format.
bool cBMPSurface::LoadImage(const std::string& fileName, uint64_t maxPixels, sLoadReport* report)
{
  // Read into a new storage, so that a refusal or read error leaves this surface as it was.
  cBMPSurface loaded;
  sLoadReport found;
  std::array<uint8_t, FileHeaderSize> fileHeader{};
  const bool read = cBmpFile::Load(fileName, loaded, maxPixels, found, fileHeader);
  if (report) *report = found;
  if (!read) return false;
  // Take the storage over: the row table points into the moved buffer, which keeps its address.
  ChannelsCount = loaded.ChannelsCount;
  BytesPerLineValue = loaded.BytesPerLineValue;
  ImageByteSize = loaded.ImageByteSize;
  Width = loaded.Width;
  Height = loaded.Height;
  Bits = std::move(loaded.Bits);
  RowTable = std::move(loaded.RowTable);
  BMInfo = loaded.BMInfo;
  FileHeader = fileHeader;
  return true;
}
