#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "BmpFileBuilder.h"
#include "KvTestSupport.h"

using kvtest::BmpFileBuilder;
using kvtest::ScratchFolder;
using kvtest::tBGR;

namespace {

uint32_t Get32(const std::vector<uint8_t>& v, size_t at)
{
  return uint32_t(v[at]) | (uint32_t(v[at + 1]) << 8) | (uint32_t(v[at + 2]) << 16) | (uint32_t(v[at + 3]) << 24);
}

// The surface's pixel as blue, green, red whatever its channel count.
tBGR BGR(cBMPSurface& s, int x, int y)
{
  if (s.GetChannelsCount() == 1) {
    const uint8_t g = kvtest::Pixel(s, x, y);
    return {g, g, g};
  }
  return {kvtest::Pixel(s, x, y, 0), kvtest::Pixel(s, x, y, 1), kvtest::Pixel(s, x, y, 2)};
}

void ExpectPixels(cBMPSurface& s, const std::function<tBGR(int, int)>& expected)
{
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x) {
      const tBGR want = expected(x, y);
      ASSERT_EQ(BGR(s, x, y), want) << "pixel " << x << "," << y;
    }
}

}  // namespace

// --- border rule and addressing ---

TEST(SurfaceBorders, FoldsEveryOutsideCoordinateOntoTheMirroredPixel)
{
  cBMPSurface s;
  kvtest::Fill(s, 10, 10, 1, [](int x, int y, int) { return uint8_t(x + 10 * y); });
  EXPECT_EQ(s.GetPixel(-1, 0), 1);
  EXPECT_EQ(s.GetPixel(-2, 0), 2);
  EXPECT_EQ(s.GetPixel(10, 0), 9);
  EXPECT_EQ(s.GetPixel(11, 0), 8);
  EXPECT_EQ(s.GetPixel(-15, 0), 4);
  EXPECT_EQ(s.GetPixel(0, -1), 10);
  EXPECT_EQ(s.GetPixel(0, 10), 90);
  EXPECT_EQ(s.GetPixel(0, 12), 70);
  EXPECT_EQ(s.GetPixel(-3, 11), 83);

  // Writing outside writes the mirrored pixel.
  EXPECT_EQ(s.SetPixel(-1, 3, 200), 200);
  EXPECT_EQ(s.GetPixel(1, 3), 200);
  s.SetPixel(10, 10, 201);
  EXPECT_EQ(s.GetPixel(9, 9), 201);
}

TEST(SurfaceBorders, OnePixelWideSurfaceFoldsEverythingOntoItsColumn)
{
  cBMPSurface s;
  kvtest::Fill(s, 1, 3, 3, [](int, int y, int c) { return uint8_t(10 * y + c); });
  s.CurrentChannel = 2;
  for (int x : {-5, -1, 1, 2, 7}) EXPECT_EQ(s.GetPixel(x, 1), 12) << x;
}

TEST(SurfaceBorders, ReadingAnEmptySurfaceIsAProgrammingError)
{
  cBMPSurface s;
  EXPECT_DEATH(s.GetPixel(0, 0), "n > 0");
}

TEST(SurfaceAddressing, ColourChannelsAreStoredBlueGreenRedInBottomUpRows)
{
  cBMPSurface s;
  s.SetSize(5, 2, 3);
  EXPECT_EQ(s.GetBytesPerLine(), 16);
  EXPECT_EQ(s.GetImageByteSize(), 32);
  s.CurrentChannel = 0;
  s.SetPixel(1, 0, 11);
  s.CurrentChannel = 2;
  s.SetPixel(1, 0, 33);
  // Top image row is the last storage row.
  const uint8_t* bits = s.GetBits();
  EXPECT_EQ(bits[16 + 3], 11);
  EXPECT_EQ(bits[16 + 5], 33);

  sAccessInfo info = s.GetAccessInfo();
  EXPECT_EQ(info.Width, 5);
  EXPECT_EQ(info.Height, 2);
  EXPECT_EQ(info.ChannelsCount, 3);
  EXPECT_EQ(info.RowStep, 16);
  EXPECT_EQ(info.TopRow, bits + 16);
  EXPECT_EQ(info.TopRow - info.RowStep, s.Row(1));
}

TEST(SurfaceAddressing, BytesPerLinePadsRowsToFourBytes)
{
  EXPECT_EQ(cBMPSurface::BytesPerLine(5, 8), 8);
  EXPECT_EQ(cBMPSurface::BytesPerLine(5, 24), 16);
  EXPECT_EQ(cBMPSurface::BytesPerLine(4, 8), 4);
  EXPECT_EQ(cBMPSurface::BytesPerLine(13, 1), 4);
  EXPECT_EQ(cBMPSurface::BytesPerLine(33, 1), 8);
  EXPECT_EQ(cBMPSurface::BytesPerLine(0, 24), 0);
  cBMPSurface grey;
  grey.SetSize(5, 3, 1);
  EXPECT_EQ(grey.GetBytesPerLine(), 8);
}

TEST(SurfaceSize, NewSurfaceIsEmptyColourWithNothingSelected)
{
  cBMPSurface s;
  EXPECT_EQ(s.GetWidth(), 0);
  EXPECT_EQ(s.GetHeight(), 0);
  EXPECT_EQ(s.GetChannelsCount(), 3);
  EXPECT_EQ(s.SelectedChannel, -1);
  EXPECT_EQ(s.CurrentChannel, -1);
  EXPECT_EQ(Get32({s.GetBMInfo(), s.GetBMInfo() + 40}, 0), 40u);
}

TEST(SurfaceSize, ResizingDiscardsPixelsAndRewritesTheInfoHeader)
{
  cBMPSurface s;
  kvtest::Fill(s, 4, 4, 3, [](int, int, int) { return uint8_t(77); });
  s.SetSize(3, 2, 1);
  const std::vector<uint8_t> info(s.GetBMInfo(), s.GetBMInfo() + cBMPSurface::BMInfoSize);
  EXPECT_EQ(Get32(info, 4), 3u);
  EXPECT_EQ(Get32(info, 8), 2u);
  EXPECT_EQ(info[14], 8);
  EXPECT_EQ(info[40 + 4 * 200], 200);
  EXPECT_EQ(info[40 + 4 * 200 + 2], 200);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(s.GetPixel(x, y), 0);
}

TEST(SurfaceSize, ChannelCountsOtherThanOneOrThreeAreRefused)
{
  cBMPSurface s;
  EXPECT_DEATH(s.SetSize(4, 4, 2), "\\(channels == 1\\) \\|\\| \\(channels == 3\\)");
  EXPECT_DEATH(s.SetSize(4, 4, 4), "channels == 1");
}

TEST(SurfaceSize, BuffersBeyondOneGibibyteAreRefusedInsteadOfOverflowing)
{
  cBMPSurface s;
  EXPECT_DEATH(s.SetSize(100000, 100000, 3), "MaxImageBytes");
}

// --- copies and turning over ---

TEST(SurfaceCopy, CopiesPixelsButKeepsItsOwnChannelSelection)
{
  cBMPSurface a, b;
  kvtest::FillRandom(a, 7, 5, 3, 42);
  a.SelectedChannel = 2;
  b.SelectedChannel = 0;
  b.CurrentChannel = 1;
  b.MakeCopyFrom(a);
  EXPECT_TRUE(kvtest::SamePixels(a, b));
  EXPECT_EQ(b.SelectedChannel, 0);
  EXPECT_EQ(b.CurrentChannel, 1);
  EXPECT_EQ(0, std::memcmp(a.GetBMInfo(), b.GetBMInfo(), cBMPSurface::BMInfoSize));
}

TEST(SurfaceCopy, FlopTurnsTheRowsOverWithoutMovingBytesAndCopiesSeeTheTurnedPicture)
{
  cBMPSurface s;
  kvtest::Fill(s, 3, 4, 1, [](int x, int y, int) { return uint8_t(10 * y + x); });
  const std::vector<uint8_t> before(s.GetBits(), s.GetBits() + s.GetImageByteSize());
  s.Flop();
  EXPECT_EQ(s.GetPixel(1, 0), 31);
  EXPECT_EQ(s.GetPixel(2, 3), 2);
  EXPECT_EQ(std::vector<uint8_t>(s.GetBits(), s.GetBits() + s.GetImageByteSize()), before);

  cBMPSurface copy;
  copy.MakeCopyFrom(s);
  EXPECT_TRUE(kvtest::SamePixels(s, copy));
}

// --- writing ---

TEST(SurfaceSave, GreyFileHasPaletteAndPaddedRows)
{
  ScratchFolder dir;
  cBMPSurface s;
  kvtest::Fill(s, 5, 2, 1, [](int x, int y, int) { return uint8_t(1 + x + 5 * y); });
  ASSERT_TRUE(s.SaveImage(dir.File("g.bmp")));
  const auto f = ScratchFolder::Read(dir.File("g.bmp"));
  ASSERT_EQ(f.size(), 1078u + 16u);
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(Get32(f, 2), 1094u);
  EXPECT_EQ(Get32(f, 10), 1078u);
  EXPECT_EQ(Get32(f, 14), 40u);
  EXPECT_EQ(f[28], 8);
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(f[54 + 4 * i], i);
    ASSERT_EQ(f[54 + 4 * i + 1], i);
    ASSERT_EQ(f[54 + 4 * i + 2], i);
  }
  // Bottom row first: row y = 1 holds 6..10.
  EXPECT_EQ(f[1078], 6);
  EXPECT_EQ(f[1078 + 8], 1);
}

TEST(SurfaceSave, ColourFileHasNoPalette)
{
  ScratchFolder dir;
  cBMPSurface s;
  kvtest::Fill(s, 5, 2, 3, [](int x, int, int c) { return uint8_t(x * 3 + c); });
  ASSERT_TRUE(s.SaveImage(dir.File("c.bmp")));
  const auto f = ScratchFolder::Read(dir.File("c.bmp"));
  ASSERT_EQ(f.size(), 54u + 32u);
  EXPECT_EQ(Get32(f, 10), 54u);
  EXPECT_EQ(f[28], 24);
  EXPECT_EQ(f[54 + 3 * 4 + 2], 14);
}

TEST(SurfaceSave, UnwritablePathWritesNothingAndSaysSo)
{
  ScratchFolder dir;
  cBMPSurface s;
  kvtest::Fill(s, 2, 2, 1, [](int, int, int) { return uint8_t(5); });
  EXPECT_FALSE(s.SaveImage(dir.File("missing/folder/x.bmp")));
  EXPECT_FALSE(s.SaveImage(dir.Path.string()));
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
}

TEST(SurfaceSave, VisibleSaveFollowsTheRowTable)
{
  ScratchFolder dir;
  cBMPSurface s;
  kvtest::Fill(s, 3, 3, 1, [](int x, int y, int) { return uint8_t(10 * y + x); });
  s.Flop();
  ASSERT_TRUE(s.SaveVisibleImage(dir.File("v.bmp")));
  cBMPSurface back;
  ASSERT_TRUE(back.LoadImage(dir.File("v.bmp")));
  EXPECT_TRUE(kvtest::SamePixels(s, back));
}

// --- round trips ---

TEST(SurfaceRoundTrip, OddWidthsSurviveSaveAndLoad)
{
  ScratchFolder dir;
  for (int channels : {1, 3})
    for (int w : {1, 2, 3, 5, 6, 7, 13})
      for (int h : {1, 4}) {
        SCOPED_TRACE(testing::Message() << channels << " channels " << w << "x" << h);
        cBMPSurface s, back;
        kvtest::FillRandom(s, w, h, channels, uint32_t(w * 31 + h));
        const std::string file = dir.File("rt.bmp");
        ASSERT_TRUE(s.SaveImage(file));
        EXPECT_EQ(std::filesystem::file_size(file),
                  (channels == 3 ? 54u : 1078u) + uintmax_t(cBMPSurface::BytesPerLine(w, 8 * channels)) * h);
        ASSERT_TRUE(back.LoadImage(file));
        EXPECT_TRUE(kvtest::SamePixels(s, back));
        EXPECT_EQ(0, std::memcmp(back.GetFileHeader(), "BM", 2));
      }
}

TEST(SurfaceRoundTrip, GreySamplesKeepOneChannelColourSamplesThree)
{
  cBMPSurface grey, colour, odd;
  ASSERT_TRUE(grey.LoadImage(KV_SAMPLES_DIR "camera.bmp"));
  EXPECT_EQ(grey.GetChannelsCount(), 1);
  EXPECT_EQ(grey.GetWidth(), 512);
  ASSERT_TRUE(colour.LoadImage(KV_SAMPLES_DIR "astronaut.bmp"));
  EXPECT_EQ(colour.GetChannelsCount(), 3);
  ASSERT_TRUE(odd.LoadImage(KV_SAMPLES_DIR "chelsea.bmp"));
  EXPECT_EQ(odd.GetWidth(), 451);
  EXPECT_EQ(odd.GetHeight(), 300);
  cBMPSurface coins;
  ASSERT_TRUE(coins.LoadImage(KV_SAMPLES_DIR "coins.bmp"));
  EXPECT_EQ(coins.GetChannelsCount(), 1);
  EXPECT_EQ(coins.GetWidth(), 384);
  EXPECT_EQ(coins.GetHeight(), 303);
}

// --- reading files of every accepted kind, with known pixels ---

struct ReadCase {
  const char* Name;
  int Bits;
  bool TopDown;
  uint32_t InfoSize;
};
void PrintTo(const ReadCase& c, std::ostream* os)
{
  *os << c.Name;
}

class SurfaceReadFormats : public testing::TestWithParam<ReadCase> {};

TEST_P(SurfaceReadFormats, LoadsKnownPixelsInTheRightPlaces)
{
  const ReadCase c = GetParam();
  ScratchFolder dir;
  BmpFileBuilder b;
  b.Width = 13;  // odd: every format needs row padding
  b.Height = c.TopDown ? -5 : 5;
  b.Bits = c.Bits;
  b.InfoSize = c.InfoSize;
  std::function<tBGR(int, int)> expected;
  if (c.Bits <= 8) {
    const int colours = 1 << c.Bits;
    // A coloured palette: entry i is (i, 255 - i, i / 2 + 1).
    for (int i = 0; i < colours; ++i) b.Palette.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i / 2 + 1)});
    b.Index = [colours](int x, int y) { return unsigned(x * 3 + y * 7) % unsigned(colours); };
    expected = [&b](int x, int y) { return b.Palette[b.Index(x, y)]; };
  } else {
    b.Colour = [](int x, int y) { return tBGR{uint8_t(x * 19), uint8_t(y * 41), uint8_t(x * y + 3)}; };
    expected = b.Colour;
  }
  cBMPSurface s;
  ASSERT_TRUE(s.LoadImage(dir.Write("f.bmp", b.Build())));
  EXPECT_EQ(s.GetWidth(), 13);
  EXPECT_EQ(s.GetHeight(), 5);
  EXPECT_EQ(s.GetChannelsCount(), 3);
  ExpectPixels(s, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SurfaceReadFormats,
    testing::Values(ReadCase{"Bits1BottomUp", 1, false, 40}, ReadCase{"Bits1TopDown", 1, true, 40},
                    ReadCase{"Bits4BottomUp", 4, false, 40}, ReadCase{"Bits4TopDown", 4, true, 40},
                    ReadCase{"Bits8BottomUp", 8, false, 40}, ReadCase{"Bits8TopDown", 8, true, 40},
                    ReadCase{"Bits24BottomUp", 24, false, 40}, ReadCase{"Bits24TopDown", 24, true, 40},
                    ReadCase{"Bits32BottomUp", 32, false, 40}, ReadCase{"Bits32TopDown", 32, true, 40},
                    ReadCase{"Bits8V5Header", 8, false, 124}, ReadCase{"Bits24V4Header", 24, true, 108},
                    ReadCase{"Bits2BottomUp", 2, false, 40}, ReadCase{"Bits2TopDown", 2, true, 40},
                    ReadCase{"Bits1Os2Core", 1, false, 12}, ReadCase{"Bits8Os2Core", 8, false, 12},
                    ReadCase{"Bits24Os2Core", 24, false, 12}, ReadCase{"Bits4Os2Short", 4, false, 16},
                    ReadCase{"Bits8Os2Full", 8, true, 64}, ReadCase{"Bits32V5Header", 32, false, 124}),
    [](const testing::TestParamInfo<ReadCase>& i) { return std::string(i.param.Name); });

TEST(SurfaceRead, GreyPaletteFilesLoadAsOneChannelByTheirPalette)
{
  ScratchFolder dir;
  for (int bits : {1, 4, 8}) {
    SCOPED_TRACE(bits);
    BmpFileBuilder b;
    b.Width = 9;
    b.Height = 3;
    b.Bits = bits;
    b.Palette = kvtest::GreyPalette(1 << bits);
    b.Index = [bits](int x, int y) { return unsigned(x + y) % (1u << bits); };
    cBMPSurface s;
    ASSERT_TRUE(s.LoadImage(dir.Write("g.bmp", b.Build())));
    EXPECT_EQ(s.GetChannelsCount(), 1);
    ExpectPixels(s, [&b](int x, int y) { return b.Palette[b.Index(x, y)]; });
  }
}

TEST(SurfaceRead, OneColouredPaletteEntryMakesAColourPicture)
{
  ScratchFolder dir;
  BmpFileBuilder b;
  b.Bits = 8;
  b.Palette = kvtest::GreyPalette(256);
  b.Palette[255] = {255, 255, 254};  // never used by a pixel, still decides
  b.Index = [](int x, int) { return unsigned(x * 10); };
  cBMPSurface s;
  ASSERT_TRUE(s.LoadImage(dir.Write("c.bmp", b.Build())));
  EXPECT_EQ(s.GetChannelsCount(), 3);
  EXPECT_EQ(BGR(s, 2, 1), (tBGR{20, 20, 20}));
}

TEST(SurfaceRead, TwentyFourBitGreyPixelsStillLoadAsColour)
{
  ScratchFolder dir;
  BmpFileBuilder b;
  b.Colour = [](int x, int) { return tBGR{uint8_t(x), uint8_t(x), uint8_t(x)}; };
  cBMPSurface s;
  ASSERT_TRUE(s.LoadImage(dir.Write("g24.bmp", b.Build())));
  EXPECT_EQ(s.GetChannelsCount(), 3);
}

TEST(SurfaceRead, ShortPaletteAndIndicesBeyondIt)
{
  ScratchFolder dir;
  BmpFileBuilder b;
  b.Bits = 8;
  b.ColoursUsed = 2;
  b.Palette = {{0, 0, 0}, {200, 200, 200}};
  b.Index = [](int x, int) { return unsigned(x); };  // 2 and 3 lie beyond the palette
  cBMPSurface s;
  ASSERT_TRUE(s.LoadImage(dir.Write("p.bmp", b.Build())));
  EXPECT_EQ(s.GetChannelsCount(), 1);
  EXPECT_EQ(kvtest::Pixel(s, 1, 0), 200);
  EXPECT_EQ(kvtest::Pixel(s, 3, 0), 0);
}

TEST(SurfaceRead, ThirtyTwoBitFilesWithPlainBitFieldMasks)
{
  ScratchFolder dir;
  BmpFileBuilder b;
  b.Bits = 32;
  b.Compression = 3;
  b.Masks = {0x00FF0000u, 0x0000FF00u, 0x000000FFu};
  cBMPSurface s;
  ASSERT_TRUE(s.LoadImage(dir.Write("bf.bmp", b.Build())));
  ExpectPixels(s, b.Colour);
}

// --- damaged and unsupported files: refused, surface unchanged ---

namespace {

using tDamage = std::function<void(std::vector<uint8_t>&)>;

struct Damage {
  const char* Name;
  std::function<BmpFileBuilder()> Make;
  tDamage Change;
  const char* Reason;  // part of the sentence the report gives
};

BmpFileBuilder Colour24()
{
  return BmpFileBuilder{};
}
BmpFileBuilder Indexed8()
{
  BmpFileBuilder b;
  b.Bits = 8;
  b.Palette = kvtest::GreyPalette(256);
  return b;
}
// A 6 x 4 RLE8 file holding the run codes given.
std::function<BmpFileBuilder()> Rle8(std::vector<uint8_t> codes, int height = 4)
{
  return [codes, height] {
    BmpFileBuilder b;
    b.Width = 6;
    b.Height = height;
    b.Bits = 8;
    b.Compression = 1;
    b.Palette = kvtest::GreyPalette(16);
    b.ColoursUsed = 16;
    b.Data = codes;
    return b;
  };
}
// A 16- or 32-bit bit-field file with the masks (red, green, blue[, alpha]) given.
std::function<BmpFileBuilder()> Masked(int bits, std::vector<uint32_t> masks)
{
  return [bits, masks] {
    BmpFileBuilder b;
    b.Bits = bits;
    b.Compression = masks.size() == 4 ? 6 : 3;
    b.Masks = masks;
    return b;
  };
}
void Nothing(std::vector<uint8_t>&) {}

}  // namespace

namespace {
using B = BmpFileBuilder;

// The file and info headers: signature, sizes and the pixels' offset.
std::vector<Damage> HeaderDamages()
{
  return {
      {"not BM", Colour24, [](auto& v) { v[1] = 'A'; }, "does not start with \"BM\""},
      {"empty file", Colour24, [](auto& v) { v.clear(); }, "does not start with \"BM\""},
      {"headers cut", Colour24, [](auto& v) { v.resize(30); }, "cut short inside its 40-byte info header"},
      {"info header of 14 bytes", Colour24, [](auto& v) { B::Put32(v, 14, 14); }, "info header size 14 is out"},
      {"core header of a 24-bit file", Colour24, [](auto& v) { B::Put32(v, 14, 12); }, "height 0 is out of range"},
      {"info header beyond file", Colour24, [](auto& v) { B::Put32(v, 14, 100000); }, "cut short inside its 100000"},
      {"zero width", Colour24, [](auto& v) { B::Put32(v, 18, 0); }, "width 0 is out of range"},
      {"negative width", Colour24, [](auto& v) { B::Put32(v, 18, uint32_t(-4)); }, "width -4 is out of range"},
      {"zero height", Colour24, [](auto& v) { B::Put32(v, 22, 0); }, "height 0 is out of range"},
      {"most negative height", Colour24, [](auto& v) { B::Put32(v, 22, 0x80000000u); }, "is out of range"},
      {"huge size", Colour24,
       [](auto& v) {
         B::Put32(v, 18, 0x7FFFFFFFu);
         B::Put32(v, 22, 0x7FFFFFFFu);
       },
       "cut short"},
      {"huge top-down size", Colour24,
       [](auto& v) {
         B::Put32(v, 18, 0x7FFFFFFFu);
         B::Put32(v, 22, 0x80000001u);
       },
       "cut short"},
      {"pixel offset beyond file", Colour24, [](auto& v) { B::Put32(v, 10, 1u << 30); }, "beyond the end of the file"},
      {"pixel offset at end", Colour24, [](auto& v) { B::Put32(v, 10, uint32_t(v.size())); }, "cut short"},
      {"pixel offset 0xFFFFFFFF", Colour24, [](auto& v) { B::Put32(v, 10, 0xFFFFFFFFu); }, "beyond the end"},
      {"pixel offset inside headers", Colour24, [](auto& v) { B::Put32(v, 10, 20); }, "inside its headers"},
      {"truncated pixels", Colour24, [](auto& v) { v.pop_back(); }, "cut short: its pixels take 36 bytes"},
  };
}

// Palettes, bit depths and compressions.
std::vector<Damage> PaletteDepthAndCompressionDamages()
{
  return {
      {"palette beyond file", Indexed8, [](auto& v) { v.resize(54 + 100 * 4); }, "cut short inside its palette"},
      {"palette overlapping pixels", Indexed8, [](auto& v) { B::Put32(v, 10, 54 + 16 * 4); }, "inside its headers"},
      {"palette count claims more than the file", Indexed8,
       [](auto& v) {
         B::Put32(v, 14, 40 + 4 * 250);
         B::Put32(v, 46, 256);
       },
       "cut short inside its palette"},
      {"2 bits without a palette", Colour24, [](auto& v) { B::Put16(v, 28, 2); }, "inside its headers"},
      {"0 bits", Colour24, [](auto& v) { B::Put16(v, 28, 0); }, "bit depth 0 is none of"},
      {"48 bits", Colour24, [](auto& v) { B::Put16(v, 28, 48); }, "bit depth 48 is none of"},
      {"RLE8 on 4 bits", Indexed8,
       [](auto& v) {
         B::Put16(v, 28, 4);
         B::Put32(v, 30, 1);
       },
       "RLE8 compression needs 8-bit pixels, but the BMP has 4-bit pixels"},
      {"RLE4 on 8 bits", Indexed8, [](auto& v) { B::Put32(v, 30, 2); }, "RLE4 compression needs 4-bit pixels"},
      {"embedded JPEG", Colour24, [](auto& v) { B::Put32(v, 30, 4); }, "JPEG-compressed picture, which is not"},
      {"embedded PNG", Colour24, [](auto& v) { B::Put32(v, 30, 5); }, "PNG-compressed picture, which is not"},
      {"OS/2 Huffman coding", Colour24,
       [](auto& v) {
         B::Put32(v, 14, 64);
         B::Put32(v, 30, 3);
         B::Put32(v, 10, 14 + 64);
       },
       "OS/2 Huffman 1D coding"},
      {"unknown compression", Colour24, [](auto& v) { B::Put32(v, 30, 0xFFFFFFFFu); }, "compression 4294967295 is not"},
      {"bit fields on 24 bits", Colour24, [](auto& v) { B::Put32(v, 30, 3); }, "need 16- or 32-bit pixels"},
  };
}

std::vector<Damage> MaskDamages()
{
  return {
      {"masks cut off", Masked(16, {0xF800u, 0x07E0u, 0x001Fu}), [](auto& v) { v.resize(14 + 40 + 8); },
       "cut short inside its bit-field masks"},
      {"overlapping masks", Masked(16, {0xF800u, 0x0FE0u, 0x001Fu}), Nothing, "red mask 0x0000F800 overlaps another"},
      {"mask with a gap", Masked(16, {0xD800u, 0x07E0u, 0x001Fu}), Nothing, "red mask 0x0000D800 is not contiguous"},
      {"mask beyond 16-bit pixels", Masked(16, {0x1F0000u, 0x07E0u, 0x001Fu}), Nothing, "beyond its 16-bit pixels"},
      {"mask of 20 bits", Masked(32, {0xFFFFF000u, 0xF00u, 0xFFu}), Nothing, "is wider than 16 bits"},
      {"alpha overlapping a colour", Masked(32, {0xFF0000u, 0xFF00u, 0xFFu, 0x1FF0000u}), Nothing,
       "alpha mask 0x01FF0000 overlaps"},
  };
}

std::vector<Damage> RunLengthDamages()
{
  return {
      {"RLE run past the row's end", Rle8({7, 1}), Nothing, "RLE8 data write past the picture's edge"},
      {"RLE absolute block past the row's end", Rle8({0, 3, 1, 1, 1, 0, 0, 5, 1, 2, 3, 4, 5, 0}), Nothing,
       "write past the picture's edge (row 0 from the bottom, column 3)"},
      {"RLE rows past the top", Rle8({0, 0, 0, 0, 0, 0, 0, 0, 1, 1}), Nothing, "write past the picture's edge (row 4"},
      {"RLE delta past the right edge", Rle8({0, 2, 7, 0}), Nothing, "delta code of the RLE8 data moves past"},
      {"RLE delta past the top", Rle8({0, 2, 0, 5}), Nothing, "moves past"},
      {"RLE data without an end", Rle8({3, 5, 0, 0, 6, 1}), Nothing, "RLE8 data run out before the end"},
      {"RLE absolute block cut short", Rle8({0, 5, 1, 2}), Nothing, "run out"},
      {"RLE delta cut short", Rle8({0, 2, 1}), Nothing, "run out"},
      {"RLE stored top-down", Rle8({0, 1}, -4), Nothing, "must be stored bottom-up"},
  };
}

}  // namespace

TEST(SurfaceReadRefusal, DamagedFilesAreRefusedWithTheirReasonAndLeaveTheSurfaceAsItWas)
{
  std::vector<Damage> cases = HeaderDamages();
  for (auto group : {PaletteDepthAndCompressionDamages, MaskDamages, RunLengthDamages})
    for (const Damage& d : group()) cases.push_back(d);
  ScratchFolder dir;
  for (const Damage& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<uint8_t> bytes = c.Make().Build();
    c.Change(bytes);
    const std::string file = dir.Write("bad.bmp", bytes);
    cBMPSurface s, before;
    kvtest::FillRandom(s, 3, 2, 1, 7);
    before.MakeCopyFrom(s);
    sLoadReport report;
    EXPECT_FALSE(s.LoadImage(file, UINT64_MAX, &report));
    EXPECT_NE((report.Damage + report.Unsupported).find(c.Reason), std::string::npos)
        << report.Damage << report.Unsupported;
    EXPECT_TRUE(kvtest::SamePixels(s, before));
  }
}

// --- the kinds read since: bit-field pixels and run-length codes ---

namespace {
// round(v x 255 / (2^bits - 1)) of the masked part of a pixel, in floating point.
uint8_t Channel(uint32_t pixel, uint32_t mask)
{
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const double max = double(mask >> shift);
  return uint8_t(std::floor(double((pixel & mask) >> shift) * 255.0 / max + 0.5));
}
}  // namespace

TEST(SurfaceRead, BitFieldPixelsScaleEachChannelAndDropAlpha)
{
  struct sCase {
    const char* Name;
    int Bits;
    uint32_t Compression, InfoSize;
    std::vector<uint32_t> Masks;  // red, green, blue[, alpha] as written
    std::vector<uint32_t> Read;   // red, green, blue the pixels are read with
    bool Alpha;
  };
  const std::vector<sCase> cases = {
      {"16-bit default 5-5-5", 16, 0, 40, {}, {0x7C00, 0x03E0, 0x001F}, false},
      {"16-bit 5-6-5 bit fields", 16, 3, 40, {0xF800, 0x07E0, 0x001F}, {0xF800, 0x07E0, 0x001F}, false},
      {"16-bit 4-4-4-4 alpha bit fields", 16, 6, 40, {0x0F00, 0x00F0, 0x000F, 0xF000}, {0x0F00, 0x00F0, 0x000F}, true},
      {"32-bit 8-8-8-8 in a V3 header",
       32,
       3,
       56,
       {0xFF0000, 0xFF00, 0xFF, 0xFF000000u},
       {0xFF0000, 0xFF00, 0xFF},
       true},
      {"32-bit 6-4-8 in a V5 header", 32, 3, 124, {0x3F0, 0xF, 0xFF0000}, {0x3F0, 0xF, 0xFF0000}, false},
      {"32-bit 1-2-1 and a missing channel", 32, 3, 40, {0x1, 0x6, 0}, {0x1, 0x6, 0}, false},
      {"32-bit plain with masks a V4 header ignores", 32, 0, 108, {0x3, 0xC, 0x30}, {0xFF0000, 0xFF00, 0xFF}, false},
  };
  ScratchFolder dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    BmpFileBuilder b;
    b.Width = 7;
    b.Height = 3;
    b.Bits = c.Bits;
    b.Compression = c.Compression;
    b.InfoSize = c.InfoSize;
    b.Masks = c.Masks;
    const uint32_t bitsMask = c.Bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    b.Raw = [bitsMask](int x, int y) { return (uint32_t(x + 1) * 2654435761u ^ uint32_t(y + 3) * 40503u) & bitsMask; };
    cBMPSurface s;
    sLoadReport report;
    ASSERT_TRUE(s.LoadImage(dir.Write("m.bmp", b.Build()), UINT64_MAX, &report)) << report.Damage;
    EXPECT_EQ(s.GetChannelsCount(), 3);
    EXPECT_EQ(report.AlphaDropped, c.Alpha);
    ExpectPixels(s, [&](int x, int y) {
      const uint32_t p = b.Raw(x, y);
      return tBGR{Channel(p, c.Read[2]), Channel(p, c.Read[1]), Channel(p, c.Read[0])};
    });
  }
}

TEST(SurfaceRead, RunLengthCodesFillRowsAndSkippedPixelsTakeTheFirstEntry)
{
  // Palette entry i is (i * 10, 200 - i * 10, i + 1): entry 0 is not black.
  std::vector<tBGR> palette;
  for (int i = 0; i < 16; ++i) palette.push_back({uint8_t(i * 10), uint8_t(200 - i * 10), uint8_t(i + 1)});
  struct sCase {
    const char* Name;
    int Width, Bits, Compression, InfoSize;
    std::vector<uint8_t> Codes;             // bottom row first
    std::vector<std::vector<int>> Indices;  // top row first
  };
  const std::vector<sCase> cases = {
      {"RLE8: run, odd absolute block, end of line early, delta, end of bitmap",
       6,
       8,
       1,
       40,
       {3, 5, 0, 3, 7, 8, 9, 0, 0, 0, 1, 4, 0, 0, 0, 2, 2, 1, 2, 11, 0, 1},
       {{0, 0, 11, 11, 0, 0}, {0, 0, 0, 0, 0, 0}, {4, 0, 0, 0, 0, 0}, {5, 5, 5, 7, 8, 9}}},
      {"RLE4: odd runs, odd absolute blocks, delta, no end of bitmap after the last row",
       7,
       4,
       2,
       40,
       {3, 0x12, 0, 3, 0x34, 0x50, 1, 0x60, 0, 0, 0, 5, 0x78, 0x9A, 0xB0, 0, 0, 0, 0, 2, 3, 1, 4, 0xCD, 0, 0},
       {{0, 0, 0, 12, 13, 12, 13}, {0, 0, 0, 0, 0, 0, 0}, {7, 8, 9, 10, 11, 0, 0}, {1, 2, 1, 3, 4, 5, 6}}},
  };
  ScratchFolder dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    BmpFileBuilder b;
    b.Width = c.Width;
    b.Height = 4;
    b.Bits = c.Bits;
    b.Compression = uint32_t(c.Compression);
    b.InfoSize = uint32_t(c.InfoSize);
    b.Palette = palette;
    b.ColoursUsed = 16;
    b.Data = c.Codes;
    cBMPSurface s;
    sLoadReport report;
    ASSERT_TRUE(s.LoadImage(dir.Write("r.bmp", b.Build()), UINT64_MAX, &report)) << report.Damage;
    EXPECT_EQ(s.GetChannelsCount(), 3);
    ExpectPixels(s, [&](int x, int y) { return palette[size_t(c.Indices[size_t(y)][size_t(x)])]; });
  }
  // OS/2 RLE24: colours in the codes, skipped pixels black.
  BmpFileBuilder b;
  b.Width = 4;
  b.Height = 2;
  b.Bits = 24;
  b.Compression = 4;
  b.InfoSize = 64;
  b.Data = {0, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 40, 50, 60, 0, 0, 2, 10, 20, 30, 0, 1};
  cBMPSurface s;
  ASSERT_TRUE(s.LoadImage(dir.Write("r24.bmp", b.Build())));
  const std::vector<std::vector<tBGR>> want = {{{10, 20, 30}, {10, 20, 30}, {0, 0, 0}, {0, 0, 0}},
                                               {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {40, 50, 60}}};
  ExpectPixels(s, [&](int x, int y) { return want[size_t(y)][size_t(x)]; });
}

TEST(SurfaceReadRefusal, MissingFilesAndFoldersAreRefused)
{
  ScratchFolder dir;
  cBMPSurface s;
  EXPECT_FALSE(s.LoadImage(dir.File("nowhere.bmp")));
  EXPECT_FALSE(s.LoadImage(dir.Path.string()));
  EXPECT_EQ(s.GetWidth(), 0);
}

TEST(SurfaceReadRefusal, PixelBufferBeyondOneGibibyteIsRefusedBeforeAllocating)
{
  // A 1-bit file with a coloured palette grows 24-fold in a colour surface: a file of about
  // 45 MB would need more than 1 GiB of pixels.
  ScratchFolder dir;
  BmpFileBuilder b;
  b.Bits = 1;
  b.Width = 65536;
  b.Height = 5462;
  b.Palette = {{0, 0, 255}, {255, 0, 0}};
  b.Height = 1;  // build only the headers, then grow the file sparsely
  std::vector<uint8_t> bytes = b.Build();
  BmpFileBuilder::Put32(bytes, 22, 5462);
  const std::string file = dir.Write("big.bmp", bytes);
  std::filesystem::resize_file(file, b.PixelOffset() + b.RowBytes() * 5462);
  cBMPSurface s;
  EXPECT_FALSE(s.LoadImage(file));
  EXPECT_EQ(s.GetWidth(), 0);
}
