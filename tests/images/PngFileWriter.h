#pragma once
// Encodes small PNG files with libpng, of every colour type and bit depth, for the tests and
// the fuzzers' seeds.
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

#include <png.h>

namespace kvtest {

struct PngFileWriter {
  int Width = 7;
  int Height = 5;
  int ColourType = PNG_COLOR_TYPE_RGB;
  int BitDepth = 8;
  bool Interlaced = false;
  // Palette pictures: the entries (red, green, blue); Transparent adds a tRNS chunk.
  std::vector<png_color> Palette;
  bool Transparent = false;
  // Sample k of pixel (x, y) in the file's order (grey, alpha / red, green, blue, alpha / index),
  // below 2^BitDepth.
  std::function<unsigned(int, int, int)> Sample = [](int x, int y, int k) {
    return unsigned(x * 37 + y * 11 + k * 90);
  };

  int Samples() const
  {
    switch (ColourType) {
      case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
      case PNG_COLOR_TYPE_RGB: return 3;
      case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
      default: return 1;
    }
  }

  std::vector<uint8_t> Encode() const
  {
    std::vector<uint8_t> bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) std::abort();
    png_set_write_fn(
        png, &bytes,
        [](png_structp p, png_bytep data, png_size_t size) {
          auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
          out->insert(out->end(), data, data + size);
        },
        nullptr);
    png_set_IHDR(png, info, png_uint_32(Width), png_uint_32(Height), BitDepth, ColourType,
                 Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (ColourType == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, Palette.data(), int(Palette.size()));
    std::vector<png_byte> alphas(Palette.size(), 128);
    if (Transparent) png_set_tRNS(png, info, alphas.data(), int(alphas.size()), nullptr);
    png_write_info(png, info);
    const unsigned mask = (1u << BitDepth) - 1;
    std::vector<std::vector<png_byte>> rows(static_cast<size_t>(Height));
    for (int y = 0; y < Height; ++y) {
      auto& row = rows[size_t(y)];
      row.assign(png_get_rowbytes(png, info), 0);
      for (int x = 0; x < Width; ++x)
        for (int k = 0; k < Samples(); ++k) {
          const unsigned v = Sample(x, y, k) & mask;
          const size_t at = size_t(x) * size_t(Samples()) + size_t(k);
          if (BitDepth == 16) {
            row[2 * at] = png_byte(v >> 8);
            row[2 * at + 1] = png_byte(v);
          } else if (BitDepth == 8) {
            row[at] = png_byte(v);
          } else {
            const size_t bit = at * size_t(BitDepth);
            row[bit / 8] = png_byte(row[bit / 8] | (v << (8 - BitDepth - bit % 8)));
          }
        }
    }
    std::vector<png_bytep> pointers;
    for (auto& row : rows) pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
  }
};

}  // namespace kvtest
