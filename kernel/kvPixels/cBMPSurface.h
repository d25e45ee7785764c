#pragma once
// The pixel container of every picture: 8 bits per channel, 1 channel (grey) or 3 (blue,
// green, red), rows stored bottom-up and padded as in a BMP file, reached through a row table.
#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "kvPixels/kvBorderRule.h"
#include "kvRuntime/kvDiagnostics.h"

// Rectangle: right and bottom exclusive.
struct sRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
};

// Direct access to the rows: rows further down lie at lower addresses (TopRow - n * RowStep).
struct sAccessInfo {
  int Width = 0;
  int Height = 0;
  int ChannelsCount = 0;
  uint8_t* TopRow = nullptr;
  int RowStep = 0;
};

// Why a reader refused a file, where the user can act on it.
struct sLoadReport {
  // The header claims more pixels than the reader was allowed to take; Width x Height as claimed.
  bool TooManyPixels = false;
  uint64_t Width = 0;
  uint64_t Height = 0;
  // A kind of picture the reader knows but does not take (CMYK, floating-point samples ...),
  // as a sentence for the user.
  std::string Unsupported;
  // What is wrong with a damaged file (a header field out of range, data cut short ...), as a
  // sentence for the user; empty when the reader could not tell.
  std::string Damage;
  // Set on success when an alpha channel or transparency was dropped.
  bool AlphaDropped = false;
};

class cBMPSurface {
public:
  static constexpr int InfoHeaderSize = 40;
  static constexpr int BMInfoSize = InfoHeaderSize + 256 * 4;  // header + grey palette
  static constexpr int FileHeaderSize = 14;
  // A picture whose pixel buffer would pass this is refused rather than allocated.
  static constexpr uint64_t MaxImageBytes = uint64_t(1) << 30;

  cBMPSurface();
  ~cBMPSurface() = default;
  cBMPSurface(const cBMPSurface&) = delete;
  cBMPSurface& operator=(const cBMPSurface&) = delete;

  void SetSize(int width, int height, int channels);
  static int BytesPerLine(int width, int bitsPerPixel) { return ((width * bitsPerPixel + 31) / 32) * 4; }

  // Border rule of every neighbourhood operation: left/top mirror without repeating the edge
  // pixel, right/bottom mirror with it repeated; applied once.
  void CorrectBorders(int& x, int& y) const
  {
    x = kvFoldIndex(x, Width);
    y = kvFoldIndex(y, Height);
  }

  uint8_t GetPixel(int x, int y) const
  {
    CorrectBorders(x, y);
    return RowTable[y][ChannelsCount == 1 ? x : 3 * x + CurrentChannel];
  }
  uint8_t SetPixel(int x, int y, uint8_t value)
  {
    CorrectBorders(x, y);
    RowTable[y][ChannelsCount == 1 ? x : 3 * x + CurrentChannel] = value;
    return value;
  }
  // In-range access without the border rule, for fast paths that checked the bounds.
  const uint8_t* Row(int y) const { return RowTable[y]; }
  uint8_t* Row(int y) { return RowTable[y]; }

  int GetWidth() const { return Width; }
  int GetHeight() const { return Height; }
  int GetChannelsCount() const { return ChannelsCount; }
  int GetBytesPerLine() const { return BytesPerLineValue; }
  int GetImageByteSize() const { return ImageByteSize; }
  void SetSelectedChannel(int channel) { SelectedChannel = channel; }
  int GetSelectedChannel() const { return SelectedChannel; }

  void MakeCopyFrom(const cBMPSurface& other);
  void Flop();

  // Reads a BMP file (the kinds cBmpFile takes; defined with that reader, on the file floor).
  // Returns false, leaving the surface as it was,
  // for a damaged or unsupported file and for a picture of more than maxPixels (checked from
  // the header, before anything is allocated); report tells why.
  bool LoadImage(const std::string& fileName, uint64_t maxPixels = UINT64_MAX, sLoadReport* report = nullptr);
  // Writes a BMP file (8-bit with grey palette or 24-bit, bottom-up) from the storage as it
  // lies; false when it could not be written completely (no partial file is left behind).
  bool SaveImage(const std::string& fileName) const;
  // The same file, but with the rows in the order the row table shows them, so that a
  // surface turned over by Flop is saved as it is seen.
  bool SaveVisibleImage(const std::string& fileName) const;

  uint8_t* GetBits() { return Bits.data(); }
  const uint8_t* GetBits() const { return Bits.data(); }
  const uint8_t* GetBMInfo() const { return BMInfo.data(); }
  const uint8_t* GetFileHeader() const { return FileHeader.data(); }
  sAccessInfo GetAccessInfo();

  // The display channel: -1 all, else 0..channels-1.
  int SelectedChannel = -1;
  // The channel GetPixel/SetPixel address in a 3-channel surface; set directly before access.
  int CurrentChannel = -1;
  // Taken by the background IQ computation around channel switches and window reads.
  std::mutex Lock;

private:
  void WriteInfoHeader();
  void BuildRowTable();
  bool WriteFile(const std::string& fileName, bool visibleRows) const;

  int ChannelsCount = 3;
  int BytesPerLineValue = 0;
  int ImageByteSize = 0;
  std::vector<uint8_t> Bits;
  std::array<uint8_t, FileHeaderSize> FileHeader{};
  std::array<uint8_t, BMInfoSize> BMInfo{};
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t*> RowTable;
};
