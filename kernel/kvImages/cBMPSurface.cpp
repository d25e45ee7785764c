#include "cBMPSurface.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "kvDiagnostics.h"

#define UNIT "kvKernel_bpl\\kvImages\\cBMPSurface"

namespace {

uint16_t ReadU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
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
  KV_ASSERT_TEXT((channels == 1) || (channels == 3), "(channels == 1) || (channels == 3)", UNIT);
  width = std::max(width, 0);
  height = std::max(height, 0);
  const uint64_t rowBytes = ((uint64_t(width) * (channels == 3 ? 24 : 8) + 31) / 32) * 4;
  KV_ASSERT_TEXT(rowBytes * uint64_t(height) <= MaxImageBytes, "image byte size <= MaxImageBytes", UNIT);
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
    for (int y = 0; y < Height; ++y) std::memcpy(RowTable[size_t(y)], other.RowTable[size_t(y)], size_t(BytesPerLineValue));
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

bool cBMPSurface::LoadImage(const std::string& fileName, uint64_t maxPixels, sLoadReport* report)
{
  std::ifstream file(fileName, std::ios::binary);
  if (!file) return false;
  file.seekg(0, std::ios::end);
  const std::streamoff fileSize = file.tellg();
  file.seekg(0, std::ios::beg);
  if (fileSize < FileHeaderSize + InfoHeaderSize) return false;
  const uint64_t size = uint64_t(fileSize);
  // The headers first (with the masks of a bit-field file); the pixels are read row by row
  // once the header has shown that the picture may be taken.
  std::vector<uint8_t> head(FileHeaderSize + InfoHeaderSize + 12);
  const std::streamsize headBytes = std::streamsize(std::min<uint64_t>(head.size(), size));
  if (!file.read(reinterpret_cast<char*>(head.data()), headBytes)) return false;
  const uint8_t* d = head.data();

  if (ReadU16(d) != BMType) return false;
  const uint64_t pixelOffset = ReadU32(d + 10);
  const uint64_t infoSize = ReadU32(d + 14);
  if (infoSize < InfoHeaderSize || FileHeaderSize + infoSize > size) return false;
  const int32_t fileWidth = int32_t(ReadU32(d + 18));
  const int32_t fileHeight = int32_t(ReadU32(d + 22));
  const unsigned bits = ReadU16(d + 28);
  const uint32_t compression = ReadU32(d + 30);
  const uint32_t coloursUsed = ReadU32(d + 46);

  if (fileWidth <= 0 || fileHeight == 0 || fileHeight == INT32_MIN) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
  if (compression == BI_BITFIELDS) {
    // Only the plain 8-8-8 layout of 32-bit files is accepted as "uncompressed".
    if (bits != 32 || FileHeaderSize + InfoHeaderSize + 12 > size) return false;
    const uint8_t* masks = d + FileHeaderSize + InfoHeaderSize;
    if (ReadU32(masks) != 0x00FF0000u || ReadU32(masks + 4) != 0x0000FF00u || ReadU32(masks + 8) != 0x000000FFu)
      return false;
  } else if (compression != BI_RGB) {
    return false;
  }

  const uint64_t width = uint64_t(fileWidth);
  const bool topDown = fileHeight < 0;
  const uint64_t height = topDown ? uint64_t(-int64_t(fileHeight)) : uint64_t(fileHeight);
  if (width * height > maxPixels) {
    if (report) {
      report->TooManyPixels = true;
      report->Width = width;
      report->Height = height;
    }
    return false;
  }
  // Both are below 2^31 here, so the products below cannot overflow 64 bits.
  const uint64_t fileRowBytes = ((width * bits + 31) / 32) * 4;

  // The pixels must lie after the headers (and the masks of a bit-field file).
  uint64_t headersEnd = FileHeaderSize + infoSize;
  if (compression == BI_BITFIELDS && infoSize == InfoHeaderSize) headersEnd += 12;

  // Palette of the indexed formats, lying between the info header and the pixels.
  std::vector<uint8_t> paletteBytes;
  uint64_t paletteCount = 0;
  int channels = 3;
  if (bits <= 8) {
    const uint64_t maxColours = uint64_t(1) << bits;
    paletteCount = coloursUsed == 0 ? maxColours : std::min<uint64_t>(coloursUsed, maxColours);
    const uint64_t paletteOffset = FileHeaderSize + infoSize;
    headersEnd = paletteOffset + 4 * paletteCount;
    if (headersEnd > size) return false;
    paletteBytes.resize(size_t(4 * paletteCount));
    file.clear();
    file.seekg(std::streamoff(paletteOffset));
    if (!file.read(reinterpret_cast<char*>(paletteBytes.data()), std::streamsize(paletteBytes.size()))) return false;
    channels = 1;
    for (uint64_t i = 0; i < paletteCount; ++i) {
      const uint8_t* e = paletteBytes.data() + 4 * i;
      if (e[0] != e[1] || e[1] != e[2]) {
        channels = 3;
        break;
      }
    }
  }
  const uint8_t* palette = paletteBytes.data();

  if (pixelOffset < headersEnd || pixelOffset > size) return false;
  if (fileRowBytes * height > size - pixelOffset) return false;
  const uint64_t surfaceRowBytes = ((width * (channels == 3 ? 24 : 8) + 31) / 32) * 4;
  if (surfaceRowBytes * height > MaxImageBytes) return false;

  // Read into a new storage, so that a read error leaves this surface as it was.
  cBMPSurface loaded;
  loaded.SetSize(int(width), int(height), channels);
  std::vector<uint8_t> src(static_cast<size_t>(fileRowBytes));
  file.clear();
  file.seekg(std::streamoff(pixelOffset));
  for (uint64_t fileRow = 0; fileRow < height; ++fileRow) {
    if (!file.read(reinterpret_cast<char*>(src.data()), std::streamsize(fileRowBytes))) return false;
    const uint64_t y = topDown ? fileRow : height - 1 - fileRow;
    uint8_t* dst = loaded.RowTable[size_t(y)];
    if (bits == 24) {
      // Same layout as the surface row.
      std::memcpy(dst, src.data(), size_t(width) * 3);
      continue;
    }
    for (uint64_t x = 0; x < width; ++x) {
      uint8_t b, g, r;
      if (bits >= 24) {
        const uint8_t* p = src.data() + x * (bits / 8);
        b = p[0];
        g = p[1];
        r = p[2];
      } else {
        unsigned index;
        if (bits == 8)
          index = src[x];
        else if (bits == 4)
          index = (src[x / 2] >> ((x & 1) ? 0 : 4)) & 0x0F;
        else
          index = (src[x / 8] >> (7 - (x & 7))) & 0x01;
        if (index < paletteCount) {
          const uint8_t* e = palette + 4 * index;
          b = e[0];
          g = e[1];
          r = e[2];
        } else {
          b = g = r = 0;  // index beyond the palette the file holds
        }
      }
      if (channels == 3) {
        dst[3 * x] = b;
        dst[3 * x + 1] = g;
        dst[3 * x + 2] = r;
      } else {
        dst[x] = b;
      }
    }
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
  std::memcpy(FileHeader.data(), d, FileHeaderSize);
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
