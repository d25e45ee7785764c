// PNG and TIFF pictures: every colour type, bit depth, compression and layout read into the
// same planes as BMP and JPEG (checked against the pixels written and against libpng's and
// libtiff's own decoders), PNG saving, and the damaged or unsupported files refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "BmpFileBuilder.h"
#include "CapturedMessagesTest.h"
#include "DamagedPictures.h"
#include "KeptPicture.h"
#include "KvTestSupport.h"
#include "PngFileWriter.h"
#include "TiffFileWriter.h"
#include "kvRuntime/cuGlobalParameters.h"
#include "kvMessages/cUserDialogs.h"

using kvtest::ExpectUnchanged;
using kvtest::PngFileWriter;
using kvtest::Prefill;
using kvtest::ScratchFolder;
using kvtest::TiffFileWriter;

namespace {

using PictureFormatsTest = kvtest::CapturedMessagesTest;

// round(v x 255 / (2^bits - 1)), computed in floating point.
int Scaled(unsigned v, int bits)
{
  return int(std::floor(double(v) * 255.0 / double((1u << bits) - 1) + 0.5));
}

// Blue, green, red (or grey) of pixel (x, y) of a surface.
std::vector<int> PixelOf(cBMPSurface& s, int x, int y)
{
  std::vector<int> v;
  for (int c = 0; c < s.GetChannelsCount(); ++c) v.push_back(kvtest::Pixel(s, x, y, c));
  return v;
}

// The first difference between a surface and the expected colour of each pixel, or "".
std::string FirstDifference(cBMPSurface& s, int width, int height,
                            const std::function<std::vector<int>(int, int)>& expected)
{
  std::ostringstream text;
  if (s.GetWidth() != width || s.GetHeight() != height) {
    text << "size " << s.GetWidth() << " x " << s.GetHeight();
    return text.str();
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const auto want = expected(x, y);
      const auto got = PixelOf(s, x, y);
      if (want == got) continue;
      text << "pixel (" << x << ", " << y << "): got";
      for (int v : got) text << " " << v;
      text << ", want";
      for (int v : want) text << " " << v;
      return text.str();
    }
  return "";
}

// libpng's simplified reader, as 8-bit blue, green, red, alpha (alpha left out of the result).
std::vector<uint8_t> ReferencePng(const std::vector<uint8_t>& bytes, int& width, int& height)
{
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return {};
  image.format = PNG_FORMAT_BGRA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
  width = int(image.width);
  height = int(image.height);
  return pixels;
}

// libtiff's RGBA reader of the first page, top row first.
std::vector<uint32_t> ReferenceTiff(const std::string& file, int& width, int& height)
{
  TIFF* tif = TIFFOpen(file.c_str(), "r");
  if (!tif) return {};
  uint32_t w = 0, h = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
  std::vector<uint32_t> raster(size_t(w) * h);
  const bool ok = TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0) != 0;
  TIFFClose(tif);
  width = int(w);
  height = int(h);
  return ok ? raster : std::vector<uint32_t>{};
}

}  // namespace

// --- PNG ---

TEST_F(PictureFormatsTest, EveryPngColourTypeAndDepthReadsAsWrittenAndAsLibpngReadsIt)
{
  struct sKind {
    int Type, Depth;
    bool Interlaced;
  };
  const std::vector<sKind> kinds = {{PNG_COLOR_TYPE_GRAY, 1, false},       {PNG_COLOR_TYPE_GRAY, 2, false},
                                    {PNG_COLOR_TYPE_GRAY, 4, false},       {PNG_COLOR_TYPE_GRAY, 8, false},
                                    {PNG_COLOR_TYPE_GRAY, 16, false},      {PNG_COLOR_TYPE_GRAY, 8, true},
                                    {PNG_COLOR_TYPE_GRAY_ALPHA, 8, false}, {PNG_COLOR_TYPE_GRAY_ALPHA, 16, false},
                                    {PNG_COLOR_TYPE_RGB, 8, false},        {PNG_COLOR_TYPE_RGB, 16, false},
                                    {PNG_COLOR_TYPE_RGB, 8, true},         {PNG_COLOR_TYPE_RGB_ALPHA, 8, false},
                                    {PNG_COLOR_TYPE_RGB_ALPHA, 16, true},  {PNG_COLOR_TYPE_PALETTE, 1, false},
                                    {PNG_COLOR_TYPE_PALETTE, 2, false},    {PNG_COLOR_TYPE_PALETTE, 4, true},
                                    {PNG_COLOR_TYPE_PALETTE, 8, false}};
  for (const auto& k : kinds) {
    const std::string name = "type " + std::to_string(k.Type) + ", " + std::to_string(k.Depth) + " bits" +
                             (k.Interlaced ? ", interlaced" : "");
    SCOPED_TRACE(name);
    PngFileWriter w;
    w.Width = 13;
    w.Height = 9;
    w.ColourType = k.Type;
    w.BitDepth = k.Depth;
    w.Interlaced = k.Interlaced;
    // Every value a depth has is met; 16-bit samples spread over the whole range.
    w.Sample = [&](int x, int y, int s) {
      const unsigned v = unsigned(x * 5 + y * 13 + s * 7);
      return k.Depth == 16 ? v * 613u : v;
    };
    const bool palette = k.Type == PNG_COLOR_TYPE_PALETTE;
    if (palette)
      for (int i = 0; i < (1 << k.Depth); ++i)
        w.Palette.push_back(png_color{png_byte(i * 9), png_byte(255 - i), png_byte(i * 3 + 1)});
    const auto bytes = w.Encode();
    cImage image;
    ASSERT_TRUE(image.LoadImage(Dir.Write("p.png", bytes)));
    const bool colour = (k.Type & PNG_COLOR_MASK_COLOR) != 0;
    EXPECT_EQ(image.GetChannelsCount(), colour ? 3 : 1);
    const bool alpha = (k.Type & PNG_COLOR_MASK_ALPHA) != 0;
    EXPECT_EQ(image.GetTitle(), std::string("Load 'p.png'") + (alpha ? " (alpha dropped)" : ""));
    const unsigned mask = (1u << k.Depth) - 1;
    EXPECT_EQ(FirstDifference(*image.GetSurface(), 13, 9,
                              [&](int x, int y) -> std::vector<int> {
                                if (palette) {
                                  const png_color c = w.Palette[w.Sample(x, y, 0) & mask];
                                  return {c.blue, c.green, c.red};
                                }
                                if (!colour) return {Scaled(w.Sample(x, y, 0) & mask, k.Depth)};
                                return {Scaled(w.Sample(x, y, 2) & mask, k.Depth),
                                        Scaled(w.Sample(x, y, 1) & mask, k.Depth),
                                        Scaled(w.Sample(x, y, 0) & mask, k.Depth)};
                              }),
              "");
    // libpng's own reader agrees (its 16-bit path converts gamma, so 8-bit files only).
    if (k.Depth > 8) continue;
    int width = 0, height = 0;
    const auto reference = ReferencePng(bytes, width, height);
    ASSERT_FALSE(reference.empty());
    EXPECT_EQ(FirstDifference(*image.GetSurface(), width, height,
                              [&](int x, int y) -> std::vector<int> {
                                const uint8_t* p = &reference[size_t(y * width + x) * 4];
                                if (image.GetChannelsCount() == 1) return {p[0]};
                                return {p[0], p[1], p[2]};
                              }),
              "");
  }
  EXPECT_TRUE(Shown.empty());
}

TEST_F(PictureFormatsTest, SixteenBitSamplesRoundToNearestAtTheEndsAndInTheMiddle)
{
  // 0 and 65535 are the ends; 128/129, 32767/32768 and 65406/65407 straddle the halfway
  // points between 0 and 1, 127 and 128, 254 and 255.
  std::vector<unsigned> values = {0, 1, 128, 129, 257, 32767, 32768, 65406, 65407, 65534, 65535};
  const int width = int(values.size());
  PngFileWriter png;
  png.ColourType = PNG_COLOR_TYPE_GRAY;
  png.BitDepth = 16;
  png.Width = width;
  png.Height = 1;
  png.Sample = [&](int x, int, int) { return values[size_t(x)]; };
  TiffFileWriter tiff;
  tiff.Photometric = PHOTOMETRIC_MINISBLACK;
  tiff.Samples = 1;
  tiff.Bits = 16;
  tiff.Width = width;
  tiff.Height = 1;
  tiff.Sample = [&](int x, int, int) { return values[size_t(x)]; };
  ASSERT_TRUE(tiff.Write(Dir.File("s.tif")));
  const std::vector<int> expected = {0, 0, 0, 1, 1, 127, 128, 254, 255, 255, 255};
  for (const std::string& file : {Dir.Write("s.png", png.Encode()), Dir.File("s.tif")}) {
    SCOPED_TRACE(file);
    cImage image;
    ASSERT_TRUE(image.LoadImage(file));
    for (int x = 0; x < width; ++x) {
      EXPECT_EQ(kvtest::Pixel(*image.GetSurface(), x, 0), expected[size_t(x)]) << values[size_t(x)];
      EXPECT_EQ(expected[size_t(x)], Scaled(values[size_t(x)], 16));
    }
  }
}

TEST_F(PictureFormatsTest, SavedPngsReadBackIdenticallyAndAsLibpngReadsThem)
{
  for (int channels : {1, 3}) {
    SCOPED_TRACE(channels);
    cImage image, back;
    kvtest::FillRandom(*image.GetSurface(), 11, 7, channels, 5);
    // Saved as seen, also after the rows were turned over.
    image.GetSurface()->Flop();
    ASSERT_TRUE(image.SaveImage(Dir.File("s.PNG")));
    const auto bytes = ScratchFolder::Read(Dir.File("s.PNG"));
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(png_sig_cmp(bytes.data(), 0, 8), 0);
    ASSERT_TRUE(back.LoadImage(Dir.File("s.PNG")));
    EXPECT_EQ(back.GetChannelsCount(), channels);
    EXPECT_TRUE(kvtest::SamePixels(*image.GetSurface(), *back.GetSurface()));
    int width = 0, height = 0;
    const auto reference = ReferencePng(bytes, width, height);
    EXPECT_EQ(FirstDifference(*image.GetSurface(), width, height,
                              [&](int x, int y) -> std::vector<int> {
                                const uint8_t* p = &reference[size_t(y * width + x) * 4];
                                if (channels == 1) return {p[0]};
                                return {p[0], p[1], p[2]};
                              }),
              "");
  }
  // The format is the caller's choice when the name has none (temporary files).
  cImage image;
  kvtest::FillRandom(*image.GetSurface(), 3, 3, 1, 5);
  ASSERT_TRUE(image.SaveImage(Dir.File("t.tmp-1"), pfPNG));
  EXPECT_EQ(png_sig_cmp(ScratchFolder::Read(Dir.File("t.tmp-1")).data(), 0, 8), 0);
  EXPECT_FALSE(image.SaveImage(Dir.File("no/such/folder.png")));
  EXPECT_FALSE(std::filesystem::exists(Dir.File("no")));
}

TEST_F(PictureFormatsTest, PaletteOfGreysAndTransparencyAreTold)
{
  PngFileWriter w;
  w.ColourType = PNG_COLOR_TYPE_PALETTE;
  w.BitDepth = 2;
  for (int i = 0; i < 4; ++i) w.Palette.push_back(png_color{png_byte(i * 80), png_byte(i * 80), png_byte(i * 80)});
  cImage image;
  ASSERT_TRUE(image.LoadImage(Dir.Write("g.png", w.Encode())));
  EXPECT_EQ(image.GetChannelsCount(), 1);
  EXPECT_EQ(image.GetTitle(), "Load 'g.png'");
  w.Transparent = true;
  ASSERT_TRUE(image.LoadImage(Dir.Write("t.png", w.Encode())));
  EXPECT_EQ(image.GetTitle(), "Load 't.png' (alpha dropped)");
}

// --- TIFF ---

namespace {

struct sTiffKind {
  const char* Name;
  uint16_t Photometric, Bits, Samples;
};

// Every photometric kind at the usual depths and at those between the powers of two.
std::vector<sTiffKind> TiffKinds()
{
  return {{"grey 1", PHOTOMETRIC_MINISBLACK, 1, 1},
          {"grey 2", PHOTOMETRIC_MINISBLACK, 2, 1},
          {"grey 4", PHOTOMETRIC_MINISBLACK, 4, 1},
          {"grey 8", PHOTOMETRIC_MINISBLACK, 8, 1},
          {"grey 16", PHOTOMETRIC_MINISBLACK, 16, 1},
          {"white is zero 8", PHOTOMETRIC_MINISWHITE, 8, 1},
          {"grey alpha 8", PHOTOMETRIC_MINISBLACK, 8, 2},
          {"RGB 8", PHOTOMETRIC_RGB, 8, 3},
          {"RGB 16", PHOTOMETRIC_RGB, 16, 3},
          {"RGBA 8", PHOTOMETRIC_RGB, 8, 4},
          {"RGBA 16", PHOTOMETRIC_RGB, 16, 4},
          {"palette 4", PHOTOMETRIC_PALETTE, 4, 1},
          {"palette 8", PHOTOMETRIC_PALETTE, 8, 1},
          {"grey 3", PHOTOMETRIC_MINISBLACK, 3, 1},
          {"grey 5", PHOTOMETRIC_MINISBLACK, 5, 1},
          {"grey 6", PHOTOMETRIC_MINISBLACK, 6, 1},
          {"grey 7", PHOTOMETRIC_MINISBLACK, 7, 1},
          {"grey 10", PHOTOMETRIC_MINISBLACK, 10, 1},
          {"grey 12", PHOTOMETRIC_MINISBLACK, 12, 1},
          {"grey 14", PHOTOMETRIC_MINISBLACK, 14, 1},
          {"white is zero 3", PHOTOMETRIC_MINISWHITE, 3, 1},
          {"white is zero 12", PHOTOMETRIC_MINISWHITE, 12, 1},
          {"RGB 5", PHOTOMETRIC_RGB, 5, 3},
          {"RGB 10", PHOTOMETRIC_RGB, 10, 3},
          {"RGBA 12", PHOTOMETRIC_RGB, 12, 4},
          {"RGB 14", PHOTOMETRIC_RGB, 14, 3},
          {"palette 3", PHOTOMETRIC_PALETTE, 3, 1}};
}

// A TIFF of kind k, 37 x 21 so that neither tiles nor strips fit exactly, with a colour map
// for the palette kinds.
TiffFileWriter TiffOfKind(const sTiffKind& k, uint16_t compression, uint32_t tile, bool separate)
{
  TiffFileWriter w;
  w.Width = 37;
  w.Height = 21;
  w.RowsPerStrip = 5;
  w.Photometric = k.Photometric;
  w.Bits = k.Bits;
  w.Samples = k.Samples;
  w.Compression = compression;
  w.Tile = tile;
  w.Separate = separate;
  w.Sample = [bits = k.Bits](int x, int y, int s) {
    const uint32_t v = uint32_t(x * 3 + y * 17 + s * 29);
    return bits > 8 ? v * 97u : v;
  };
  for (unsigned i = 0; i < (k.Photometric == PHOTOMETRIC_PALETTE ? 1u << k.Bits : 0u); ++i) {
    w.Red.push_back(uint16_t(i * 257 * 5));
    w.Green.push_back(uint16_t(65535 - i * 200));
    w.Blue.push_back(uint16_t(i * 1000 + 77));
  }
  return w;
}

// Blue, green, red (or grey) that pixel (x, y) of w must read as.
std::vector<int> TiffColour(const TiffFileWriter& w, const sTiffKind& k, int x, int y)
{
  const unsigned mask = (1u << k.Bits) - 1;
  const unsigned v0 = w.Sample(x, y, 0) & mask;
  switch (k.Photometric) {
    case PHOTOMETRIC_PALETTE: return {Scaled(w.Blue[v0], 16), Scaled(w.Green[v0], 16), Scaled(w.Red[v0], 16)};
    case PHOTOMETRIC_MINISWHITE: return {255 - Scaled(v0, k.Bits)};
    case PHOTOMETRIC_RGB:
      return {Scaled(w.Sample(x, y, 2) & mask, k.Bits), Scaled(w.Sample(x, y, 1) & mask, k.Bits), Scaled(v0, k.Bits)};
    default: return {Scaled(v0, k.Bits)};
  }
}

// The first difference between a picture and libtiff's RGBA reading of the file, or "".
std::string DifferenceFromLibtiff(cImage& image, const std::string& file)
{
  int width = 0, height = 0;
  const auto reference = ReferenceTiff(file, width, height);
  if (reference.empty()) return "libtiff cannot read the file";
  return FirstDifference(*image.GetSurface(), width, height, [&](int x, int y) -> std::vector<int> {
    const uint32_t p = reference[size_t(y * width + x)];
    if (image.GetChannelsCount() == 1) return {int(TIFFGetR(p))};
    return {int(TIFFGetB(p)), int(TIFFGetG(p)), int(TIFFGetR(p))};
  });
}

}  // namespace

TEST_F(PictureFormatsTest, TiffKindsCompressionsAndLayoutsReadAsWrittenAndAsLibtiffReadsThem)
{
  for (const sTiffKind& k : TiffKinds())
    for (uint16_t compression : {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS})
      for (uint32_t tile : {0u, 16u})
        for (bool separate : {false, true}) {
          if (separate && k.Samples == 1) continue;
          SCOPED_TRACE(std::string(k.Name) + ", compression " + std::to_string(compression) +
                       (tile ? ", tiles" : ", strips") + (separate ? ", planes" : ""));
          const TiffFileWriter w = TiffOfKind(k, compression, tile, separate);
          const std::string file = Dir.File("k.tif");
          ASSERT_TRUE(w.Write(file));
          cImage image;
          ASSERT_TRUE(image.LoadImage(file)) << image.GetLoadError();
          const bool extra = k.Samples > (k.Photometric == PHOTOMETRIC_RGB ? 3 : 1);
          EXPECT_EQ(image.GetTitle(), std::string("Load 'k.tif'") + (extra ? " (alpha dropped)" : ""));
          EXPECT_EQ(FirstDifference(*image.GetSurface(), 37, 21, [&](int x, int y) { return TiffColour(w, k, x, y); }),
                    "");
          // libtiff's RGBA reader agrees where it does not differ on purpose: it takes the high
          // byte of 16-bit grey and colour-map entries, and premultiplies by the alpha.
          // It does not take the depths between the powers of two at all.
          if ((k.Bits == 16 && k.Photometric != PHOTOMETRIC_RGB) || k.Photometric == PHOTOMETRIC_PALETTE || extra ||
              (k.Bits & (k.Bits - 1)) != 0)
            continue;
          EXPECT_EQ(DifferenceFromLibtiff(image, file), "");
        }
}

TEST_F(PictureFormatsTest, HorizontalPredictorIsUndoneAtEveryDepth)
{
  for (uint16_t bits : {4, 8, 12, 16})
    for (uint16_t samples : {1, 3})
      for (uint16_t compression : {COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE})
        for (uint32_t tile : {0u, 16u})
          for (bool separate : {false, true}) {
            if (separate && samples == 1) continue;
            SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(samples) + " samples, compression " +
                         std::to_string(compression) + (tile ? ", tiles" : ", strips") + (separate ? ", planes" : ""));
            TiffFileWriter w;
            w.Width = 37;
            w.Height = 21;
            w.Photometric = samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
            w.Bits = bits;
            w.Samples = samples;
            w.Compression = compression;
            w.Tile = tile;
            w.Separate = separate;
            w.Predictor = PREDICTOR_HORIZONTAL;
            const unsigned mask = (1u << bits) - 1;
            // Differences of both signs and wrapping ones.
            w.Sample = [&](int x, int y, int s) { return uint32_t((x * x * 7 + y * 13 + s * 29) * 2654435761u) >> 8; };
            ASSERT_TRUE(w.Write(Dir.File("p.tif")));
            cImage image;
            ASSERT_TRUE(image.LoadImage(Dir.File("p.tif"))) << image.GetLoadError();
            EXPECT_EQ(FirstDifference(*image.GetSurface(), 37, 21,
                                      [&](int x, int y) -> std::vector<int> {
                                        if (samples == 1) return {Scaled(w.Sample(x, y, 0) & mask, bits)};
                                        return {Scaled(w.Sample(x, y, 2) & mask, bits),
                                                Scaled(w.Sample(x, y, 1) & mask, bits),
                                                Scaled(w.Sample(x, y, 0) & mask, bits)};
                                      }),
                      "");
          }
}

TEST_F(PictureFormatsTest, ReaderIsChosenByTheContentWhateverTheName)
{
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 20, 18, 3, 5);
  ASSERT_TRUE(source.SaveImage(Dir.File("s.bmp"), pfBMP));
  ASSERT_TRUE(source.SaveImage(Dir.File("s.png"), pfPNG));
  TiffFileWriter tiff;
  ASSERT_TRUE(tiff.Write(Dir.File("s.tif")));
  std::filesystem::copy_file(KV_SAMPLES_DIR "coffee.jpg", Dir.File("s.jpg"));
  for (const char* original : {"s.bmp", "s.png", "s.tif", "s.jpg"}) {
    cImage reference;
    ASSERT_TRUE(reference.LoadImage(Dir.File(original))) << reference.GetLoadError();
    const auto bytes = ScratchFolder::Read(Dir.File(original));
    for (const char* name : {"a.jpeg", "a.JPG", "a.tif", "a.TIFF", "no extension", "a.bmp", "a.png", "a.txt"}) {
      SCOPED_TRACE(std::string(original) + " as " + name);
      cImage image;
      ASSERT_TRUE(image.LoadImage(Dir.Write(name, bytes))) << image.GetLoadError();
      EXPECT_TRUE(kvtest::SamePixels(*image.GetSurface(), *reference.GetSurface()));
      EXPECT_EQ(image.GetTitle(), std::string("Load '") + name + "'");
    }
  }
}

TEST_F(PictureFormatsTest, FirstPageOfAMultiPageTiffIsRead)
{
  TiffFileWriter w;
  w.SecondPage = true;
  ASSERT_TRUE(w.Write(Dir.File("pages.tiff")));
  cImage image;
  ASSERT_TRUE(image.LoadImage(Dir.File("pages.tiff")));
  EXPECT_EQ(kvtest::Pixel(*image.GetSurface(), 1, 1, 2), w.Sample(1, 1, 0));
}

// --- refusals ---

namespace {

// A refused file and the start of what GetLoadError says about it.
struct sRefusal {
  const char* Name;
  const char* File;
  std::vector<uint8_t> Bytes;
  std::string Reason;
};

const std::string HugeRefusal = "The picture is 60000 x 60000 pixels, more than the limit of 120000000 pixels";

std::vector<uint8_t> Cut(std::vector<uint8_t> v, size_t size)
{
  v.resize(size);
  return v;
}

std::vector<uint8_t> Flipped(std::vector<uint8_t> v, size_t at)
{
  v[at] ^= 0x55;
  return v;
}

// png with an ancillary text chunk before its image data, its CRC good or broken.
std::vector<uint8_t> WithText(std::vector<uint8_t> png, bool goodCrc)
{
  auto text = kvtest::Chunk("tEXt", {'a', 0, 'b'});
  if (!goodCrc) text.back() ^= 1;
  png.insert(png.begin() + long(kvtest::FindChunk(png, "IDAT")), text.begin(), text.end());
  return png;
}

std::vector<uint8_t> PalettePngWithoutPalette()
{
  PngFileWriter p;
  p.ColourType = PNG_COLOR_TYPE_PALETTE;
  p.BitDepth = 8;
  p.Palette = {png_color{1, 2, 3}};
  p.Sample = [](int, int, int) { return 0u; };
  auto bytes = p.Encode();
  const size_t plte = kvtest::FindChunk(bytes, "PLTE");
  bytes.erase(bytes.begin() + long(plte), bytes.begin() + long(plte + 12 + 3));
  return bytes;
}

// Damage done to png, a good 64 x 64 picture.
std::vector<sRefusal> DamagedPngs(const std::vector<uint8_t>& png)
{
  const size_t idat = kvtest::FindChunk(png, "IDAT");
  if (idat == 0) {
    ADD_FAILURE() << "the good PNG has no image data";
    return {};
  }
  // zlib data that is not zlib, with a correct chunk CRC: only inflating can tell.
  auto badZlib = Flipped(png, idat + 8 + 20);
  kvtest::FixCrc(badZlib, idat);
  // A stream that inflates to 16 MiB for a 64 x 64 picture of 12 KiB.
  const auto bomb = kvtest::WithImageData(png, kvtest::Deflated(std::vector<uint8_t>(16 << 20, 0)));
  return {
      {"empty PNG", "e.png", {}, "The file is empty."},
      {"not a PNG", "n.png", std::vector<uint8_t>(100, 'x'),
       "The file is none of the formats tried (BMP, JPEG, PNG and TIFF)"},
      {"PNG cut inside the image data", "c.png", Cut(png, idat + 40), "The PNG file is damaged: "},
      {"PNG cut before its end chunk", "c.png", Cut(png, png.size() - 12), "The PNG file is damaged: "},
      {"PNG image data with a bad CRC", "crc.png", Flipped(png, idat + 10), "The PNG file is damaged: "},
      {"PNG text chunk with a bad CRC", "crc.png", WithText(png, false), "The PNG file is damaged: "},
      {"PNG image data that is not zlib", "z.png", badZlib, "The PNG file is damaged: "},
      {"PNG claiming 60000 x 60000", "h.png", kvtest::PngClaiming(png, 60000, 60000), HugeRefusal},
      {"small PNG claiming 10000 x 10000", "h.png", kvtest::PngClaiming(png, 10000, 10000),
       "The PNG file is far too small for the 10000 x 10000 pixels it claims."},
      {"PNG decompression bomb", "b.png", bomb, "The PNG file is damaged: "},
      {"PNG palette picture without a palette", "p.png", PalettePngWithoutPalette(), "The PNG file is damaged"},
  };
}

// Damage done to tiff, the file good writes, and the kinds refused on purpose.
std::vector<sRefusal> DamagedTiffs(ScratchFolder& dir, const TiffFileWriter& good, const std::vector<uint8_t>& tiff)
{
  auto tiffOf = [&](auto change) {
    TiffFileWriter w = good;
    change(w);
    EXPECT_TRUE(w.Write(dir.File("made.tif")));
    return ScratchFolder::Read(dir.File("made.tif"));
  };
  const uint32_t directory = kvtest::TiffDirectoryOffset(tiff);
  std::vector<uint8_t> corruptLzw = tiff;
  for (size_t i = 16; i < 400; ++i) corruptLzw[i] = uint8_t(i * 7);
  return {
      {"empty TIFF", "e.tif", {}, "The file is empty."},
      {"not a TIFF", "n.tif", std::vector<uint8_t>(100, 'x'), "The file is none of the formats tried"},
      {"TIFF cut inside the strips", "c.tif", Cut(tiff, 1000), "The TIFF file is "},
      {"TIFF cut inside its directory", "c.tif", Cut(tiff, directory + 30), "The TIFF file"},
      {"TIFF with corrupt LZW data", "l.tif", corruptLzw, "The TIFF file is "},
      {"TIFF claiming 60000 x 60000", "h.tif", kvtest::TiffClaiming(tiff, 60000, 60000), HugeRefusal},
      {"small TIFF claiming 10000 x 10000", "h.tif", kvtest::TiffClaiming(tiff, 10000, 10000), "The TIFF file is "},
      {"CMYK TIFF", "k.tif", tiffOf([](TiffFileWriter& w) {
         w.Photometric = PHOTOMETRIC_SEPARATED;
         w.Samples = 4;
       }),
       "The TIFF file holds CMYK (separated) colour, which cannot be read."},
      {"floating-point TIFF", "f.tif", tiffOf([](TiffFileWriter& w) {
         w.SampleFormat = SAMPLEFORMAT_IEEEFP;
         w.Bits = 32;
       }),
       "The TIFF file holds floating-point samples, which cannot be read."},
      {"TIFF of 5 samples per pixel", "5.tif", tiffOf([](TiffFileWriter& w) { w.Samples = 5; }),
       "The TIFF file holds 5 samples per pixel, which cannot be read."},
      {"24-bit TIFF", "24.tif", tiffOf([](TiffFileWriter& w) {
         w.Bits = 24;
         w.Compression = COMPRESSION_NONE;
       }),
       "The TIFF file holds 24-bit samples, which cannot be read."},
      {"CCITT fax TIFF", "fax.tif", tiffOf([](TiffFileWriter& w) {
         w.Photometric = PHOTOMETRIC_MINISWHITE;
         w.Bits = 1;
         w.Samples = 1;
         w.Compression = COMPRESSION_CCITTFAX3;
       }),
       "CCITT Group 3 fax compression is not supported."},
      {"12-bit TIFF with the floating-point predictor", "fp.tif", tiffOf([](TiffFileWriter& w) {
         w.Bits = 12;
         w.Predictor = PREDICTOR_FLOATINGPOINT;
         w.Compression = COMPRESSION_LZW;
       }),
       "The TIFF file holds integer samples with the floating-point predictor, which cannot be read."},
  };
}

}  // namespace

TEST_F(PictureFormatsTest, DamagedHugeAndUnsupportedFilesAreRefusedLeavingTheImage)
{
  PngFileWriter pw;
  pw.Width = 64;
  pw.Height = 64;
  const auto png = pw.Encode();
  TiffFileWriter tw;
  tw.Width = 64;
  tw.Height = 64;
  tw.Compression = COMPRESSION_LZW;
  ASSERT_TRUE(tw.Write(Dir.File("good.tif")));
  const auto tiff = ScratchFolder::Read(Dir.File("good.tif"));
  std::vector<sRefusal> cases = DamagedPngs(png);
  for (sRefusal& c : DamagedTiffs(Dir, tw, tiff)) cases.push_back(std::move(c));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    cImage image;
    Prefill(image);
    EXPECT_FALSE(image.LoadImage(Dir.Write(c.File, c.Bytes)));
    ExpectUnchanged(image);
    EXPECT_EQ(image.GetLoadError().substr(0, c.Reason.size()), c.Reason);
  }
  EXPECT_TRUE(Shown.empty());
  // The files the damage was made from do load, also with a good ancillary chunk.
  cImage image;
  EXPECT_TRUE(image.LoadImage(Dir.Write("good.png", png)));
  EXPECT_TRUE(image.LoadImage(Dir.Write("text.png", WithText(png, true))));
  EXPECT_TRUE(image.LoadImage(Dir.Write("good.tif", tiff)));
}

TEST_F(PictureFormatsTest, PixelLimitHoldsForPngAndTiff)
{
  GlobalParams->SetMaxPixels(20 * 18);
  PngFileWriter png;
  png.Width = 20;
  TiffFileWriter tiff;
  for (int height : {18, 19}) {
    png.Height = height;
    tiff.Height = height;
    ASSERT_TRUE(tiff.Write(Dir.File("l.tif")));
    for (const std::string& file : {Dir.Write("l.png", png.Encode()), Dir.File("l.tif")}) {
      SCOPED_TRACE(file + " of height " + std::to_string(height));
      cImage image;
      EXPECT_EQ(image.LoadImage(file), height == 18);
      EXPECT_EQ(image.GetLoadError(), height == 18 ? ""
                                                   : "The picture is 20 x 19 pixels, more than the limit of 360 "
                                                     "pixels; the limit is set with kvadra --max-pixels or in the "
                                                     "preferences.");
    }
  }
}
