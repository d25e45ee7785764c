#include "kvPixels/cBMPSurface.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvKernel_bpl\\kvImages\\cBMPSurface");

namespace {

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
