#pragma once
// Builds BMP files byte by byte in tests, so readers can be fed known pixels and every kind
// of damaged header without sample files.
#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

namespace kvtest {

using tBGR = std::array<uint8_t, 3>;

struct BmpFileBuilder {
  int Width = 4;
  int Height = 3;  // negative: rows stored top-down
  int Bits = 24;
  uint32_t InfoSize = 40;
  uint32_t Compression = 0;
  uint32_t ColoursUsed = 0;
  // Palette entries written (blue, green, red); for indexed files.
  std::vector<tBGR> Palette;
  // Bit-field masks (red, green, blue[, alpha]): inside an info header of 52 bytes or more,
  // else written right after it.
  std::vector<uint32_t> Masks;
  // 16- and 32-bit pixels as stored, when given (else 32-bit pixels from Colour).
  std::function<uint32_t(int, int)> Raw;
  // The pixel data as given (run-length codes), instead of rows made from Index or Colour.
  std::vector<uint8_t> Data;
  // Image coordinates, top row y = 0.
  std::function<unsigned(int, int)> Index = [](int x, int y) { return unsigned(x + y) & 1u; };
  std::function<tBGR(int, int)> Colour = [](int x, int y) { return tBGR{uint8_t(x), uint8_t(y), uint8_t(x + y)}; };

  static void Put16(std::vector<uint8_t>& v, size_t at, uint32_t value)
  {
    v[at] = uint8_t(value);
    v[at + 1] = uint8_t(value >> 8);
  }
  static void Put32(std::vector<uint8_t>& v, size_t at, uint32_t value)
  {
    for (int i = 0; i < 4; ++i) v[at + size_t(i)] = uint8_t(value >> (8 * i));
  }

  size_t RowBytes() const { return ((size_t(Width) * size_t(Bits) + 31) / 32) * 4; }
  // OS/2 1.x headers (12 bytes) have 3-byte palette entries.
  size_t EntryBytes() const { return InfoSize == 12 ? 3 : 4; }
  size_t MasksAfterHeader() const { return InfoSize >= 52 ? 0 : Masks.size(); }
  size_t PixelOffset() const { return 14 + InfoSize + 4 * MasksAfterHeader() + EntryBytes() * Palette.size(); }

  std::vector<uint8_t> Build() const
  {
    const int rows = Height < 0 ? -Height : Height;
    const size_t offset = PixelOffset();
    std::vector<uint8_t> v(offset + (Data.empty() ? RowBytes() * size_t(rows) : Data.size()), 0);
    v[0] = 'B';
    v[1] = 'M';
    Put32(v, 2, uint32_t(v.size()));
    Put32(v, 10, uint32_t(offset));
    Put32(v, 14, InfoSize);
    if (InfoSize == 12) {
      Put16(v, 18, uint32_t(Width));
      Put16(v, 20, uint32_t(Height));
      Put16(v, 22, 1);
      Put16(v, 24, uint32_t(Bits));
    } else {
      Put32(v, 18, uint32_t(Width));
      Put32(v, 22, uint32_t(Height));
      Put16(v, 26, 1);
      Put16(v, 28, uint32_t(Bits));
      if (InfoSize >= 20) Put32(v, 30, Compression);
      if (InfoSize >= 36) Put32(v, 46, ColoursUsed);
    }
    size_t at = InfoSize >= 52 ? 54 : 14 + InfoSize;
    for (uint32_t m : Masks) {
      Put32(v, at, m);
      at += 4;
    }
    at = 14 + InfoSize + 4 * MasksAfterHeader();
    for (const tBGR& e : Palette) {
      v[at] = e[0];
      v[at + 1] = e[1];
      v[at + 2] = e[2];
      at += EntryBytes();
    }
    std::copy(Data.begin(), Data.end(), v.begin() + long(offset));
    if (!Data.empty()) return v;
    for (int y = 0; y < rows; ++y) {
      const int fileRow = Height < 0 ? y : rows - 1 - y;
      uint8_t* row = v.data() + offset + size_t(fileRow) * RowBytes();
      for (int x = 0; x < Width; ++x) {
        if (Raw && (Bits == 16 || Bits == 32)) {
          const uint32_t p = Raw(x, y);
          for (int i = 0; i < Bits / 8; ++i) row[size_t(x) * size_t(Bits / 8) + size_t(i)] = uint8_t(p >> (8 * i));
        } else if (Bits == 24 || Bits == 32) {
          const tBGR c = Colour(x, y);
          uint8_t* p = row + size_t(x) * size_t(Bits / 8);
          p[0] = c[0];
          p[1] = c[1];
          p[2] = c[2];
          if (Bits == 32) p[3] = 0x5A;  // unused byte, must be ignored
        } else if (Bits == 8) {
          row[x] = uint8_t(Index(x, y));
        } else if (Bits == 4) {
          row[x / 2] |= uint8_t((Index(x, y) & 0xF) << ((x & 1) ? 0 : 4));
        } else if (Bits == 2) {
          row[x / 4] |= uint8_t((Index(x, y) & 3) << (6 - 2 * (x & 3)));
        } else if (Bits == 1) {
          row[x / 8] |= uint8_t((Index(x, y) & 1) << (7 - (x & 7)));
        }
      }
    }
    return v;
  }
};

inline std::vector<tBGR> GreyPalette(int count)
{
  std::vector<tBGR> p;
  for (int i = 0; i < count; ++i) {
    const uint8_t g = uint8_t(count == 1 ? 0 : i * 255 / (count - 1));
    p.push_back({g, g, g});
  }
  return p;
}

// A folder of its own per test program and test, removed afterwards.
class ScratchFolder {
public:
  ScratchFolder()
  {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("kv_") + (info ? std::string(info->test_suite_name()) + "_" + info->name() : "x");
    for (char& c : name)
      if (c == '/') c = '_';
    Path = std::filesystem::temp_directory_path() / (name + "_" + std::to_string(::getpid()));
    std::filesystem::remove_all(Path);
    std::filesystem::create_directories(Path);
  }
  ~ScratchFolder()
  {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
  std::string File(const std::string& name) const { return (Path / name).string(); }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const
  {
    const std::string file = File(name);
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return file;
  }
  static std::vector<uint8_t> Read(const std::string& file)
  {
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::filesystem::path Path;
};

}  // namespace kvtest
