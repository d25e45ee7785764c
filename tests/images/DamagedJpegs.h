#pragma once
// Damaged JPEG files made from the baseline sample files, as a researcher may be sent them:
// the scan cut short at a marker, corrupt entropy-coded data, and tiny files whose headers
// claim huge pictures. Plain byte surgery on the marker segments.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kvtest {

struct sJpegLayout {
  size_t Frame = 0;      // the SOF marker
  size_t Scan = 0;       // the SOS marker
  size_t DataStart = 0;  // first byte of entropy-coded data
  size_t DataEnd = 0;    // the marker after the data (EOI for a single-scan file)
};

// Walks the marker segments of a single-scan file.
inline sJpegLayout LayoutOf(const std::vector<uint8_t>& bytes)
{
  sJpegLayout layout;
  size_t i = 2;
  while (i + 4 <= bytes.size() && bytes[i] == 0xFF) {
    const uint8_t marker = bytes[i + 1];
    const size_t length = size_t(bytes[i + 2]) << 8 | bytes[i + 3];
    if (marker == 0xC0 || marker == 0xC2) layout.Frame = i;
    if (marker == 0xDA) {
      layout.Scan = i;
      layout.DataStart = i + 2 + length;
      size_t j = layout.DataStart;
      while (j + 1 < bytes.size() && !(bytes[j] == 0xFF && bytes[j + 1] != 0 && (bytes[j + 1] & 0xF8) != 0xD0)) ++j;
      layout.DataEnd = j;
      return layout;
    }
    i += 2 + length;
  }
  throw std::runtime_error("not a single-scan JPEG");
}

// The first part of the scan data (fraction of it), then the end-of-image marker.
inline std::vector<uint8_t> ScanCutAtMarker(const std::vector<uint8_t>& bytes, double fraction = 0.5)
{
  const sJpegLayout l = LayoutOf(bytes);
  std::vector<uint8_t> v(bytes.begin(),
                         bytes.begin() + long(l.DataStart + size_t(double(l.DataEnd - l.DataStart) * fraction)));
  if (v.back() == 0xFF) v.pop_back();  // no half of a stuffed byte
  v.push_back(0xFF);
  v.push_back(0xD9);
  return v;
}

// A stretch of one-bits in the middle of the scan (stuffed 0xFF bytes): no Huffman code is
// all ones, so the decoder meets bad codes.
inline std::vector<uint8_t> CorruptEntropyData(const std::vector<uint8_t>& bytes)
{
  const sJpegLayout l = LayoutOf(bytes);
  std::vector<uint8_t> v = bytes;
  const size_t middle = (l.DataStart + l.DataEnd) / 2;
  for (size_t i = 0; i < 64; i += 2) {
    v[middle + i] = 0xFF;
    v[middle + i + 1] = 0x00;
  }
  return v;
}

// The headers with the frame claiming height x width, the frame type (0xC0 baseline, 0xC2
// progressive; a progressive file's first scan then carries the DC coefficients only), a few
// bytes of scan data and the end marker: a file of a few hundred bytes.
inline std::vector<uint8_t> TinyClaim(const std::vector<uint8_t>& bytes, uint16_t width, uint16_t height, uint8_t frame)
{
  const sJpegLayout l = LayoutOf(bytes);
  std::vector<uint8_t> v(bytes.begin(), bytes.begin() + long(l.DataStart + 4));
  v[l.Frame + 1] = frame;
  v[l.Frame + 5] = uint8_t(height >> 8);
  v[l.Frame + 6] = uint8_t(height);
  v[l.Frame + 7] = uint8_t(width >> 8);
  v[l.Frame + 8] = uint8_t(width);
  if (frame == 0xC2) v[l.DataStart - 2] = 0;  // spectral selection end: DC only
  v.push_back(0xFF);
  v.push_back(0xD9);
  return v;
}

// Noise around the data that cameras write: stray bytes before a marker, and a segment of an
// application marker nobody knows, both before the quantisation tables.
inline std::vector<uint8_t> WithNoiseAroundTheData(const std::vector<uint8_t>& bytes)
{
  size_t tables = 2;
  while (!(bytes[tables] == 0xFF && bytes[tables + 1] == 0xDB))
    tables += 2 + (size_t(bytes[tables + 2]) << 8 | bytes[tables + 3]);
  std::vector<uint8_t> v(bytes.begin(), bytes.begin() + long(tables));
  v.insert(v.end(), {0x00, 0x13, 0x37});
  v.insert(v.end(), {0xFF, 0xE9, 0x00, 0x06, 'k', 'v', 'd', 'r'});
  v.insert(v.end(), bytes.begin() + long(tables), bytes.end());
  return v;
}

}  // namespace kvtest
