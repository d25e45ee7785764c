#pragma once
// Encodes small JPEG files in tests with libjpeg: grey, colour, CMYK, progressive.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include <jpeglib.h>

namespace kvtest {

struct JpegFileWriter {
  int Width = 16;
  int Height = 16;
  // JCS_GRAYSCALE (1 component), JCS_RGB (3), JCS_CMYK (4) or JCS_UNKNOWN with Components.
  J_COLOR_SPACE Space = JCS_RGB;
  int Components = 3;
  bool Progressive = false;
  int Quality = 95;
  // Component k of pixel (x, y), in the order of Space (R, G, B for colour; C, M, Y, K).
  std::function<uint8_t(int, int, int)> Sample = [](int x, int y, int k) { return uint8_t(x * 8 + y * 4 + k * 60); };

  std::vector<uint8_t> Encode() const
  {
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(Width);
    info.image_height = JDIMENSION(Height);
    info.input_components = Components;
    info.in_color_space = Space;
    jpeg_set_defaults(&info);
    if (Space == JCS_UNKNOWN) jpeg_set_colorspace(&info, JCS_UNKNOWN);
    jpeg_set_quality(&info, Quality, TRUE);
    if (Progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(Width) * size_t(Components));
    while (info.next_scanline < info.image_height) {
      const int y = int(info.next_scanline);
      for (int x = 0; x < Width; ++x)
        for (int k = 0; k < Components; ++k) row[size_t(x * Components + k)] = Sample(x, y, k);
      JSAMPROW r = row.data();
      jpeg_write_scanlines(&info, &r, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
  }
};

// Offset of the first occurrence of marker 0xFF, code; or 0.
inline size_t FindMarker(const std::vector<uint8_t>& bytes, uint8_t code)
{
  for (size_t i = 0; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == code) return i;
  return 0;
}

}  // namespace kvtest
