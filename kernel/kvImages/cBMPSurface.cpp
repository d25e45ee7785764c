#include "kvImages/cBMPSurface.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "kvDiagnostics.h"

KV_UNIT("kvKernel_bpl\\kvImages\\cBMPSurface");

namespace {

uint16_t ReadU16(const uint8_t* p)
{
  return uint16_t(p[0] | (p[1] << 8));
}
uint32_t ReadU32(const uint8_t* p)
{
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void WriteU16(uint8_t* p, uint16_t v)
{
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void WriteU32(uint8_t* p, uint32_t v)
{
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

constexpr uint16_t BMType = 19778;  // "BM"
constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_BITFIELDS = 3;

}  // namespace

cBMPSurface::cBMPSurface()
{
  WriteInfoHeader();
}

void cBMPSurface::WriteInfoHeader()
{
  uint8_t* h = BMInfo.data();
  std::memset(h, 0, InfoHeaderSize);
  WriteU32(h + 0, InfoHeaderSize);
  WriteU32(h + 4, uint32_t(Width));
  WriteU32(h + 8, uint32_t(Height));
  WriteU16(h + 12, 1);
  WriteU16(h + 14, ChannelsCount == 3 ? 24 : 8);
  for (int i = 0; i < 256; ++i) {
    uint8_t* e = h + InfoHeaderSize + 4 * i;
    e[0] = e[1] = e[2] = uint8_t(i);
    e[3] = 0;
  }
}

void cBMPSurface::BuildRowTable()
{
  RowTable.resize(size_t(Height));
  for (int r = 0; r < Height; ++r) RowTable[size_t(r)] = Bits.data() + size_t(r) * size_t(BytesPerLineValue);
  Flop();
}

void cBMPSurface::SetSize(int width, int height, int channels)
{
  // Any other count would make the pixel addressing run past the rows.
  KV_ASSERT((channels == 1) || (channels == 3), "(channels == 1) || (channels == 3)");
  width = std::max(width, 0);
  height = std::max(height, 0);
  const uint64_t rowBytes = ((uint64_t(width) * (channels == 3 ? 24 : 8) + 31) / 32) * 4;
  KV_ASSERT(rowBytes * uint64_t(height) <= MaxImageBytes, "image byte size <= MaxImageBytes");
  ChannelsCount = channels;
  Width = width;
  Height = height;
  WriteInfoHeader();
  BytesPerLineValue = int(rowBytes);
  ImageByteSize = BytesPerLineValue * Height;
  Bits.assign(size_t(ImageByteSize), 0);
  BuildRowTable();
}

void cBMPSurface::MakeCopyFrom(const cBMPSurface& other)
{
  if (&other == this) return;
  SetSize(other.Width, other.Height, other.ChannelsCount);
  // Row by row through both row tables, so a turned-over source is copied as it is seen.
  // A picture without columns has no buffer, and memcpy must not be handed its null rows.
  if (BytesPerLineValue > 0)
    for (int y = 0; y < Height; ++y)
      std::memcpy(RowTable[size_t(y)], other.RowTable[size_t(y)], size_t(BytesPerLineValue));
  BMInfo = other.BMInfo;
}

void cBMPSurface::Flop()
{
  std::reverse(RowTable.begin(), RowTable.end());
}

sAccessInfo cBMPSurface::GetAccessInfo()
{
  sAccessInfo info;
  info.Width = Width;
  info.Height = Height;
  info.ChannelsCount = ChannelsCount;
  info.TopRow = RowTable.empty() ? nullptr : RowTable[0];
  info.RowStep = BytesPerLineValue;
  return info;
}

namespace {

// What the headers of a readable file say, checked against the file's size.
struct sBmpHeader {
  uint64_t Width = 0;
  uint64_t Height = 0;
  bool TopDown = false;
  unsigned Bits = 0;
  uint64_t InfoSize = 0;
  uint64_t PixelOffset = 0;
  uint32_t ColoursUsed = 0;
  uint64_t HeadersEnd = 0;  // where the pixels may start at the earliest
  uint64_t FileRowBytes = 0;
};

// Reads the file and info headers (with the masks of a bit-field file); false for anything
// that is not an uncompressed 1/4/8/24/32-bit BMP with a 40-byte or larger info header.
bool ReadBmpHeader(std::ifstream& file, uint64_t size, uint8_t* fileHeader, sBmpHeader& header)
{
  std::vector<uint8_t> head(cBMPSurface::FileHeaderSize + cBMPSurface::InfoHeaderSize + 12);
  const std::streamsize headBytes = std::streamsize(std::min<uint64_t>(head.size(), size));
  if (!file.read(reinterpret_cast<char*>(head.data()), headBytes)) return false;
  const uint8_t* d = head.data();
  if (ReadU16(d) != BMType) return false;
  header.PixelOffset = ReadU32(d + 10);
  header.InfoSize = ReadU32(d + 14);
  if (header.InfoSize < cBMPSurface::InfoHeaderSize || cBMPSurface::FileHeaderSize + header.InfoSize > size)
    return false;
  const int32_t fileWidth = int32_t(ReadU32(d + 18));
  const int32_t fileHeight = int32_t(ReadU32(d + 22));
  header.Bits = ReadU16(d + 28);
  const uint32_t compression = ReadU32(d + 30);
  header.ColoursUsed = ReadU32(d + 46);

  if (fileWidth <= 0 || fileHeight == 0 || fileHeight == INT32_MIN) return false;
  const unsigned bits = header.Bits;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
  header.HeadersEnd = cBMPSurface::FileHeaderSize + header.InfoSize;
  if (compression == BI_BITFIELDS) {
    // Only the plain 8-8-8 layout of 32-bit files is accepted as "uncompressed".
    if (bits != 32 || cBMPSurface::FileHeaderSize + cBMPSurface::InfoHeaderSize + 12 > size) return false;
    const uint8_t* masks = d + cBMPSurface::FileHeaderSize + cBMPSurface::InfoHeaderSize;
    if (ReadU32(masks) != 0x00FF0000u || ReadU32(masks + 4) != 0x0000FF00u || ReadU32(masks + 8) != 0x000000FFu)
      return false;
    // The pixels must lie after the masks too.
    if (header.InfoSize == cBMPSurface::InfoHeaderSize) header.HeadersEnd += 12;
  } else if (compression != BI_RGB) {
    return false;
  }
  header.Width = uint64_t(fileWidth);
  header.TopDown = fileHeight < 0;
  header.Height = header.TopDown ? uint64_t(-int64_t(fileHeight)) : uint64_t(fileHeight);
  // Both are below 2^31 here, so the products that use them cannot overflow 64 bits.
  header.FileRowBytes = ((header.Width * bits + 31) / 32) * 4;
  std::memcpy(fileHeader, d, cBMPSurface::FileHeaderSize);
  return true;
}

// The palette of an indexed file, lying between the info header and the pixels; the picture
// is grey (one channel) when every entry is.
bool ReadBmpPalette(std::ifstream& file, uint64_t size, sBmpHeader& header, std::vector<uint8_t>& palette,
                    int& channels)
{
  const uint64_t maxColours = uint64_t(1) << header.Bits;
  const uint64_t count = header.ColoursUsed == 0 ? maxColours : std::min<uint64_t>(header.ColoursUsed, maxColours);
  const uint64_t paletteOffset = cBMPSurface::FileHeaderSize + header.InfoSize;
  header.HeadersEnd = paletteOffset + 4 * count;
  if (header.HeadersEnd > size) return false;
  palette.resize(size_t(4 * count));
  file.clear();
  file.seekg(std::streamoff(paletteOffset));
  if (!file.read(reinterpret_cast<char*>(palette.data()), std::streamsize(palette.size()))) return false;
  channels = 1;
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t* e = palette.data() + 4 * i;
    if (e[0] != e[1] || e[1] != e[2]) {
      channels = 3;
      break;
    }
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

// One file row of a 24- or 32-bit file into a surface row.
void ReadDirectRow(const uint8_t* src, uint8_t* dst, uint64_t width, unsigned bits)
{
  if (bits == 24) {
    std::memcpy(dst, src, size_t(width) * 3);  // same layout as the surface row
    return;
  }
  for (uint64_t x = 0; x < width; ++x) WritePixel(dst, x, 3, src + x * (bits / 8));
}

// One file row of an indexed file into a surface row of the given channels.
void ReadIndexedRow(const uint8_t* src, uint8_t* dst, uint64_t width, unsigned bits,
                    const std::vector<uint8_t>& palette, int channels)
{
  static constexpr uint8_t black[3] = {0, 0, 0};
  const uint64_t entries = palette.size() / 4;
  for (uint64_t x = 0; x < width; ++x) {
    unsigned index;
    if (bits == 8)
      index = src[x];
    else if (bits == 4)
      index = (src[x / 2] >> ((x & 1) ? 0 : 4)) & 0x0F;
    else
      index = (src[x / 8] >> (7 - (x & 7))) & 0x01;
    // An index beyond the palette the file holds reads as black.
    WritePixel(dst, x, channels, index < entries ? palette.data() + 4 * index : black);
  }
}

}  // namespace

bool cBMPSurface::LoadImage(const std::string& fileName, uint64_t maxPixels, sLoadReport* report)
{
  std::ifstream file(fileName, std::ios::binary);
  if (!file) return false;
  file.seekg(0, std::ios::end);
  const std::streamoff fileSize = file.tellg();
  file.seekg(0, std::ios::beg);
  if (fileSize < FileHeaderSize + InfoHeaderSize) return false;
  const uint64_t size = uint64_t(fileSize);
  // The headers first; the pixels are read row by row once the header has shown that the
  // picture may be taken.
  sBmpHeader header;
  std::array<uint8_t, FileHeaderSize> fileHeader{};
  if (!ReadBmpHeader(file, size, fileHeader.data(), header)) return false;
  if (header.Width * header.Height > maxPixels) {
    if (report) {
      report->TooManyPixels = true;
      report->Width = header.Width;
      report->Height = header.Height;
    }
    return false;
  }
  std::vector<uint8_t> palette;
  int channels = 3;
  if (header.Bits <= 8 && !ReadBmpPalette(file, size, header, palette, channels)) return false;
  if (header.PixelOffset < header.HeadersEnd || header.PixelOffset > size) return false;
  if (header.FileRowBytes * header.Height > size - header.PixelOffset) return false;
  const uint64_t surfaceRowBytes = ((header.Width * (channels == 3 ? 24 : 8) + 31) / 32) * 4;
  if (surfaceRowBytes * header.Height > MaxImageBytes) return false;

  // Read into a new storage, so that a read error leaves this surface as it was.
  cBMPSurface loaded;
  loaded.SetSize(int(header.Width), int(header.Height), channels);
  std::vector<uint8_t> src(static_cast<size_t>(header.FileRowBytes));
  file.clear();
  file.seekg(std::streamoff(header.PixelOffset));
  for (uint64_t fileRow = 0; fileRow < header.Height; ++fileRow) {
    if (!file.read(reinterpret_cast<char*>(src.data()), std::streamsize(header.FileRowBytes))) return false;
    const uint64_t y = header.TopDown ? fileRow : header.Height - 1 - fileRow;
    uint8_t* dst = loaded.RowTable[size_t(y)];
    if (header.Bits >= 24)
      ReadDirectRow(src.data(), dst, header.Width, header.Bits);
    else
      ReadIndexedRow(src.data(), dst, header.Width, header.Bits, palette, channels);
  }
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

bool cBMPSurface::SaveImage(const std::string& fileName) const
{
  return WriteFile(fileName, false);
}

bool cBMPSurface::SaveVisibleImage(const std::string& fileName) const
{
  return WriteFile(fileName, true);
}

bool cBMPSurface::WriteFile(const std::string& fileName, bool visibleRows) const
{
  const uint32_t pixelOffset = ChannelsCount == 3 ? FileHeaderSize + InfoHeaderSize : FileHeaderSize + BMInfoSize;
  uint8_t header[FileHeaderSize] = {};
  WriteU16(header, BMType);
  WriteU32(header + 2, uint32_t(ImageByteSize) + pixelOffset);
  WriteU32(header + 10, pixelOffset);

  std::FILE* f = std::fopen(fileName.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
  const size_t infoBytes = ChannelsCount == 3 ? size_t(InfoHeaderSize) : size_t(BMInfoSize);
  ok = ok && std::fwrite(BMInfo.data(), 1, infoBytes, f) == infoBytes;
  if (!visibleRows) {
    if (ImageByteSize > 0) ok = ok && std::fwrite(Bits.data(), 1, size_t(ImageByteSize), f) == size_t(ImageByteSize);
  } else {
    // Bottom row first, as the file layout wants.
    for (int y = Height - 1; ok && y >= 0; --y)
      ok = std::fwrite(RowTable[size_t(y)], 1, size_t(BytesPerLineValue), f) == size_t(BytesPerLineValue);
  }
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) std::remove(fileName.c_str());
  return ok;
}
