#pragma once
// Damage done to PNG and TIFF files in tests: chunks found, changed and given a correct CRC
// (so that only the change meant is damage), image data replaced, sizes claimed.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include <tiffio.h>
#include <zlib.h>

namespace kvtest {

// Offset of the first chunk of a type (its length field), or 0.
inline size_t FindChunk(const std::vector<uint8_t>& png, const char* type)
{
  for (size_t at = 8; at + 12 <= png.size();) {
    const uint32_t length = uint32_t(png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3]);
    if (std::memcmp(&png[at + 4], type, 4) == 0) return at;
    at += 12 + length;
  }
  return 0;
}
inline void Put32BE(std::vector<uint8_t>& v, size_t at, uint32_t value)
{
  for (int i = 0; i < 4; ++i) v[at + size_t(i)] = uint8_t(value >> (24 - 8 * i));
}
inline uint32_t Get32BE(const std::vector<uint8_t>& v, size_t at)
{
  return uint32_t(v[at] << 24 | v[at + 1] << 16 | v[at + 2] << 8 | v[at + 3]);
}
// Recomputes the CRC of the chunk at `at`, so that only the change meant is damage.
inline void FixCrc(std::vector<uint8_t>& png, size_t at)
{
  const uint32_t length = Get32BE(png, at);
  Put32BE(png, at + 8 + length, uint32_t(crc32(0, &png[at + 4], uInt(length + 4))));
}
inline std::vector<uint8_t> Chunk(const char* type, const std::vector<uint8_t>& data)
{
  std::vector<uint8_t> chunk(12 + data.size());
  Put32BE(chunk, 0, uint32_t(data.size()));
  std::memcpy(&chunk[4], type, 4);
  std::copy(data.begin(), data.end(), chunk.begin() + 8);
  FixCrc(chunk, 0);
  return chunk;
}
// The file with every IDAT chunk replaced by one holding `data`.
inline std::vector<uint8_t> WithImageData(std::vector<uint8_t> png, const std::vector<uint8_t>& data)
{
  size_t at;
  while ((at = FindChunk(png, "IDAT")) != 0)
    png.erase(png.begin() + long(at), png.begin() + long(at + 12 + Get32BE(png, at)));
  const auto chunk = Chunk("IDAT", data);
  const size_t end = FindChunk(png, "IEND");
  png.insert(png.begin() + long(end), chunk.begin(), chunk.end());
  return png;
}
inline std::vector<uint8_t> Deflated(const std::vector<uint8_t>& raw)
{
  uLongf size = compressBound(uLong(raw.size()));
  std::vector<uint8_t> out(size);
  compress2(out.data(), &size, raw.data(), uLong(raw.size()), 9);
  out.resize(size);
  return out;
}

// A PNG claiming another size (its header's CRC made right).
inline std::vector<uint8_t> PngClaiming(std::vector<uint8_t> png, uint32_t width, uint32_t height)
{
  const size_t header = FindChunk(png, "IHDR");
  Put32BE(png, header + 8, width);
  Put32BE(png, header + 12, height);
  FixCrc(png, header);
  return png;
}

// Where the first directory of a little-endian TIFF lies (libtiff writes it after the pixels).
inline uint32_t TiffDirectoryOffset(const std::vector<uint8_t>& tiff)
{
  return uint32_t(tiff[4] | tiff[5] << 8 | tiff[6] << 16 | tiff[7] << 24);
}

// A little-endian TIFF whose first directory claims another size (each at most 65535).
inline std::vector<uint8_t> TiffClaiming(std::vector<uint8_t> v, uint32_t width, uint32_t height)
{
  const uint32_t directory = TiffDirectoryOffset(v);
  const unsigned entries = unsigned(v[directory] | v[directory + 1] << 8);
  for (unsigned e = 0; e < entries; ++e) {
    const size_t at = directory + 2 + 12 * e;
    const unsigned tag = unsigned(v[at] | v[at + 1] << 8);
    if (tag != TIFFTAG_IMAGEWIDTH && tag != TIFFTAG_IMAGELENGTH) continue;
    const uint32_t value = tag == TIFFTAG_IMAGEWIDTH ? width : height;
    // Short or long, the value lies in the entry's last four bytes, little end first.
    for (int i = 0; i < 4; ++i) v[at + 8 + size_t(i)] = uint8_t(value >> (8 * i));
  }
  return v;
}

}  // namespace kvtest
