// Writes the fuzzers' starting corpora into FOLDER/<fuzzer>/: small crops of the sample
// pictures in every format, and small generated files of every kind the readers take or
// refuse on purpose.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BmpFileBuilder.h"
#include "JpegFileWriter.h"
#include "PngFileWriter.h"
#include "TiffFileWriter.h"
#include "kvImages/cImage.h"
#include "kvFiles/cPngFile.h"

namespace fs = std::filesystem;

namespace {
fs::path Root;
int Count = 0;

void Put(const std::string& fuzzer, const std::string& name, const std::vector<uint8_t>& bytes)
{
  fs::create_directories(Root / fuzzer);
  std::ofstream(Root / fuzzer / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  ++Count;
}

std::vector<uint8_t> Read(const fs::path& file)
{
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A 32 x 32 crop of a sample, sample k of pixel (x, y) in red, green, blue order.
struct sCrop {
  int Channels = 3;
  std::vector<uint8_t> Pixels;
  unsigned At(int x, int y, int k) const
  {
    const int c = Channels == 1 ? 0 : 2 - (k % 3);
    return Pixels[size_t((y * 32 + x) * Channels + c)];
  }
};

// TIFF goes through libtiff, which writes only to files: a scratch file is written and read back.
void PutTiff(const std::string& name, const kvtest::TiffFileWriter& w)
{
  const fs::path scratch = Root / "scratch.tif";
  if (w.Write(scratch.string())) Put("tiff", name + ".tif", Read(scratch));
  fs::remove(scratch);
}

// Every sample picture cropped, saved as BMP and PNG; the crops feed the other formats.
std::vector<sCrop> PutSampleCrops(const fs::path& samples)
{
  std::vector<sCrop> crops;
  for (const auto& entry : fs::directory_iterator(samples)) {
    const std::string name = entry.path().filename().string();
    if (cImage::FormatOfName(name) == pfUnknown) continue;
    cImage image;
    if (!image.LoadImage(entry.path().string()) || image.GetWidth() < 32 || image.GetHeight() < 32) continue;
    cImage crop;
    crop.SetSize(32, 32, image.GetChannelsCount());
    sCrop pixels;
    pixels.Channels = image.GetChannelsCount();
    for (int y = 0; y < 32; ++y)
      for (int i = 0; i < 32 * pixels.Channels; ++i) {
        const uint8_t v =
            image.GetSurface()->Row(y + image.GetHeight() / 2)[i + image.GetWidth() / 2 * pixels.Channels];
        crop.GetSurface()->Row(y)[i] = v;
        pixels.Pixels.push_back(v);
      }
    const std::string stem = entry.path().stem().string();
    const fs::path scratch = Root / ("scratch" + stem);
    crop.SaveImage(scratch.string() + ".bmp");
    Put("bmp", stem + ".bmp", Read(scratch.string() + ".bmp"));
    crop.SaveImage(scratch.string() + ".png");
    Put("png", stem + ".png", Read(scratch.string() + ".png"));
    fs::remove(scratch.string() + ".bmp");
    fs::remove(scratch.string() + ".png");
    crops.push_back(pixels);
  }
  return crops;
}

// BMP: OS/2 headers, 2-bit palettes, bit-field pixels and run-length codes.
void PutBmpSeeds()
{
  auto bmp = [](int bits, uint32_t infoSize, uint32_t compression) {
    kvtest::BmpFileBuilder b;
    b.Width = 11;
    b.Height = 7;
    b.Bits = bits;
    b.InfoSize = infoSize;
    b.Compression = compression;
    if (bits <= 8)
      for (int i = 0; i < (1 << bits); ++i) b.Palette.push_back({uint8_t(i * 5), uint8_t(255 - i), uint8_t(i * 3)});
    b.ColoursUsed = uint32_t(b.Palette.size());
    b.Index = [bits](int x, int y) { return unsigned(x * 5 + y * 3) % (1u << bits); };
    b.Raw = [](int x, int y) { return uint32_t(x * 2654435761u) ^ uint32_t(y * 40503u); };
    return b;
  };
  Put("bmp", "core8.bmp", bmp(8, 12, 0).Build());
  Put("bmp", "core24.bmp", bmp(24, 12, 0).Build());
  Put("bmp", "os2short4.bmp", bmp(4, 16, 0).Build());
  Put("bmp", "os2full1.bmp", bmp(1, 64, 0).Build());
  Put("bmp", "pal2.bmp", bmp(2, 40, 0).Build());
  Put("bmp", "rgb555.bmp", bmp(16, 40, 0).Build());
  auto masked = bmp(16, 40, 3);
  masked.Masks = {0xF800, 0x07E0, 0x001F};
  Put("bmp", "rgb565.bmp", masked.Build());
  masked = bmp(32, 124, 3);
  masked.Masks = {0x3F0, 0xF, 0xFF0000, 0xFF000000u};
  Put("bmp", "v5masks.bmp", masked.Build());
  masked = bmp(32, 40, 6);
  masked.Masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000u};
  Put("bmp", "alphafields.bmp", masked.Build());
  auto rle = bmp(8, 40, 1);
  rle.Data = {3, 5, 0, 3, 7, 8, 9, 0, 0, 0, 1, 4, 0, 0, 0, 2, 2, 1, 2, 11, 0, 0, 11, 200, 0, 1};
  Put("bmp", "rle8.bmp", rle.Build());
  rle = bmp(4, 40, 2);
  rle.Data = {3, 0x12, 0, 3, 0x34, 0x50, 1, 0x60, 0, 0, 0, 5, 0x78, 0x9A, 0xB0, 0, 0, 0, 0, 2, 3, 1, 4, 0xCD, 0, 1};
  Put("bmp", "rle4.bmp", rle.Build());
  rle = bmp(24, 64, 4);
  rle.Data = {0, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 40, 50, 60, 0, 0, 2, 10, 20, 30, 0, 1};
  Put("bmp", "rle24.bmp", rle.Build());
}

// JPEG: grey, colour, progressive, CMYK.
void PutJpegSeeds(const std::vector<sCrop>& crops)
{
  for (const auto& crop : crops) {
    kvtest::JpegFileWriter w;
    w.Width = w.Height = 32;
    w.Space = crop.Channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    w.Components = crop.Channels;
    w.Sample = [&crop](int x, int y, int k) { return uint8_t(crop.At(x, y, k)); };
    const std::string n = std::to_string(Count);
    Put("jpeg", n + ".jpg", w.Encode());
    Put("jpeg_roundtrip", n + ".jpg", w.Encode());
    w.Progressive = true;
    Put("jpeg", n + "p.jpg", w.Encode());
  }
  {
    kvtest::JpegFileWriter cmyk;
    cmyk.Space = JCS_CMYK;
    cmyk.Components = 4;
    Put("jpeg", "cmyk.jpg", cmyk.Encode());
  }
}

// PNG: every colour type and bit depth, interlaced and not, palettes with transparency.
void PutPngSeeds()
{
  const std::vector<std::pair<int, std::vector<int>>> pngKinds = {{PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}},
                                                                  {PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}},
                                                                  {PNG_COLOR_TYPE_RGB, {8, 16}},
                                                                  {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}},
                                                                  {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}}};
  for (const auto& [type, depths] : pngKinds)
    for (int depth : depths)
      for (bool interlaced : {false, true}) {
        kvtest::PngFileWriter w;
        w.ColourType = type;
        w.BitDepth = depth;
        w.Interlaced = interlaced;
        w.Width = 9;
        w.Height = 6;
        if (type == PNG_COLOR_TYPE_PALETTE) {
          for (int i = 0; i < (1 << depth); ++i)
            w.Palette.push_back(png_color{png_byte(i * 7), png_byte(i * 3), png_byte(255 - i)});
          w.Transparent = interlaced;
        }
        Put("png", std::to_string(type) + "-" + std::to_string(depth) + (interlaced ? "i" : "") + ".png", w.Encode());
      }
}

// TIFF: each compression in strips and tiles.
void PutTiffCompressions(const std::vector<sCrop>& crops)
{
  for (uint16_t compression : {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_PACKBITS})
    for (uint32_t tile : {0u, 16u}) {
      kvtest::TiffFileWriter w;
      w.Compression = compression;
      w.Tile = tile;
      if (!crops.empty()) {
        const sCrop& crop = crops.back();
        w.Width = w.Height = 32;
        w.Photometric = crop.Channels == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB;
        w.Samples = uint16_t(crop.Channels);
        w.Sample = [&crop](int x, int y, int k) { return crop.At(x, y, k); };
      }
      PutTiff("c" + std::to_string(compression) + "t" + std::to_string(tile), w);
    }
}

// Every photometric kind and depth, planes, and the kinds refused on purpose.
void PutTiffKinds()
{
  struct sKind {
    const char* Name;
    uint16_t Photometric, Bits, Samples;
    bool Separate;
  };
  for (const sKind& k : std::vector<sKind>{{"grey1", PHOTOMETRIC_MINISBLACK, 1, 1, false},
                                           {"grey3white", PHOTOMETRIC_MINISWHITE, 3, 1, false},
                                           {"grey12", PHOTOMETRIC_MINISBLACK, 12, 1, false},
                                           {"rgb10planes", PHOTOMETRIC_RGB, 10, 3, true},
                                           {"rgb14", PHOTOMETRIC_RGB, 14, 3, false},
                                           {"palette5", PHOTOMETRIC_PALETTE, 5, 1, false},
                                           {"grey4", PHOTOMETRIC_MINISWHITE, 4, 1, false},
                                           {"grey16", PHOTOMETRIC_MINISBLACK, 16, 1, false},
                                           {"greyalpha", PHOTOMETRIC_MINISBLACK, 8, 2, false},
                                           {"rgb16", PHOTOMETRIC_RGB, 16, 3, false},
                                           {"rgba", PHOTOMETRIC_RGB, 8, 4, false},
                                           {"planes", PHOTOMETRIC_RGB, 8, 3, true},
                                           {"palette", PHOTOMETRIC_PALETTE, 4, 1, false},
                                           {"cmyk", PHOTOMETRIC_SEPARATED, 8, 4, false}}) {
    kvtest::TiffFileWriter w;
    w.Photometric = k.Photometric;
    w.Bits = k.Bits;
    w.Samples = k.Samples;
    w.Separate = k.Separate;
    w.Compression = COMPRESSION_LZW;
    for (int i = 0; i < (1 << (k.Bits > 8 ? 0 : k.Bits)); ++i) {
      w.Red.push_back(uint16_t(i * 4000));
      w.Green.push_back(uint16_t(i * 1000));
      w.Blue.push_back(uint16_t(65535 - i * 3000));
    }
    PutTiff(k.Name, w);
  }
}

// Several pages, predictors, fax coding and floating-point samples.
void PutTiffSpecials()
{
  kvtest::TiffFileWriter pages;
  pages.SecondPage = true;
  PutTiff("pages", pages);
  for (uint16_t bits : {5, 12, 16}) {
    kvtest::TiffFileWriter predicted;
    predicted.Bits = bits;
    predicted.Compression = bits == 12 ? COMPRESSION_LZW : COMPRESSION_ADOBE_DEFLATE;
    predicted.Predictor = PREDICTOR_HORIZONTAL;
    PutTiff("predictor" + std::to_string(bits), predicted);
  }
  kvtest::TiffFileWriter fax;
  fax.Photometric = PHOTOMETRIC_MINISWHITE;
  fax.Bits = 1;
  fax.Samples = 1;
  fax.Compression = COMPRESSION_CCITTFAX3;
  PutTiff("fax3", fax);
  kvtest::TiffFileWriter real;
  real.SampleFormat = SAMPLEFORMAT_IEEEFP;
  real.Bits = 32;
  PutTiff("float", real);
}

// Command-line values: the first byte picks the parser.
void PutCliValueSeeds()
{
  const std::vector<std::string> values = {std::string("\x00", 1) + "0.25",
                                           std::string("\x00", 1) + "-1e308",
                                           "\x01"
                                           "100",
                                           "\x01"
                                           "-7",
                                           "\x02"
                                           "18446744073709551615",
                                           "\x03"
                                           "Noise percent=0.3",
                                           "\x03"
                                           "width size=7",
                                           "\x03"
                                           "Kind=phase",
                                           "\x03"
                                           "Adaptive=true",
                                           "\x03"
                                           "Sigma=1e-300",
                                           "\x04"
                                           "Median Filtr"};
  for (size_t i = 0; i < values.size(); ++i)
    Put("cli_values", std::to_string(i), std::vector<uint8_t>(values[i].begin(), values[i].end()));
}
}  // namespace

int main(int argc, char** argv)
{
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_fuzz_seeds SAMPLES_FOLDER CORPUS_FOLDER\n");
    return 2;
  }
  Root = argv[2];
  const std::vector<sCrop> crops = PutSampleCrops(argv[1]);
  PutBmpSeeds();
  PutJpegSeeds(crops);
  PutPngSeeds();
  PutTiffCompressions(crops);
  PutTiffKinds();
  PutTiffSpecials();
  PutCliValueSeeds();
  std::printf("%d seed files in %s\n", Count, Root.string().c_str());
  return 0;
}
