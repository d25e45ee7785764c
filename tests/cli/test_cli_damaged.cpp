// Damaged and oversized pictures given to the kvadra program: each is refused, nothing is
// written, and a tiny file claiming a huge picture costs the process no memory for it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "BmpFileBuilder.h"
#include "DamagedJpegs.h"
#include "DamagedPictures.h"
#include "KvadraProgram.h"
#include "PngFileWriter.h"
#include "TiffFileWriter.h"

namespace fs = std::filesystem;
using kvtest::ScratchFolder;
using kvtest::sProgramResult;

namespace {

// Sanitizers reserve and touch memory of their own: the peak of a process says nothing then.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool PeakIsMeaningful = false;
#else
constexpr bool PeakIsMeaningful = true;
#endif

using CliDamagedTest = kvtest::KvadraProgramTest;

}  // namespace

namespace {

struct sDamagedCase {
  const char* Name;
  std::string File;
  std::vector<std::string> Options;
  bool OverLimit;
};

// JPEG and BMP files, written into scratch.
std::vector<sDamagedCase> DamagedJpegsAndBmps(ScratchFolder& scratch)
{
  const auto camera = ScratchFolder::Read(KV_SAMPLES_DIR "camera.jpg");
  const auto coffee = ScratchFolder::Read(KV_SAMPLES_DIR "coffee.jpg");
  kvtest::BmpFileBuilder hugeBmp;  // headers only: 30000 x 30000 colour
  hugeBmp.Width = 30000;
  hugeBmp.Height = 0;
  auto hugeBmpBytes = hugeBmp.Build();
  kvtest::BmpFileBuilder::Put32(hugeBmpBytes, 22, 30000);
  return {
      {"scan cut short at a marker", scratch.Write("cut.jpg", kvtest::ScanCutAtMarker(camera)), {}, false},
      {"corrupt entropy-coded data", scratch.Write("corrupt.jpg", kvtest::CorruptEntropyData(coffee)), {}, false},
      {"tiny progressive claiming 32768 x 32767",
       scratch.Write("progressive.jpg", kvtest::TinyClaim(camera, 32768, 32767, 0xC2)),
       {},
       true},
      {"tiny colour progressive claiming 32768 x 32767",
       scratch.Write("colour.jpg", kvtest::TinyClaim(coffee, 32768, 32767, 0xC2)),
       {},
       true},
      {"tiny baseline claiming 32768 x 32767",
       scratch.Write("baseline.jpg", kvtest::TinyClaim(camera, 32768, 32767, 0xC0)),
       {},
       true},
      {"BMP headers claiming 30000 x 30000", scratch.Write("huge.bmp", hugeBmpBytes), {}, true},
      {"512 x 512 sample, one pixel over the limit", KV_SAMPLES_DIR "camera.jpg", {"--max-pixels", "262143"}, true},
  };
}

std::vector<sDamagedCase> DamagedPngs(ScratchFolder& scratch)
{
  kvtest::PngFileWriter pngWriter;
  pngWriter.Width = pngWriter.Height = 64;
  const auto png = pngWriter.Encode();
  auto pngCut = png;
  pngCut.resize(kvtest::FindChunk(png, "IDAT") + 30);
  auto pngBadCrc = png;
  pngBadCrc[kvtest::FindChunk(png, "IDAT") + 12] ^= 0x40;
  return {
      {"PNG claiming 60000 x 60000", scratch.Write("huge.png", kvtest::PngClaiming(png, 60000, 60000)), {}, true},
      {"small PNG claiming 10000 x 10000",
       scratch.Write("claim.png", kvtest::PngClaiming(png, 10000, 10000)),
       {},
       false},
      {"PNG decompression bomb",
       scratch.Write("bomb.png", kvtest::WithImageData(png, kvtest::Deflated(std::vector<uint8_t>(64 << 20, 0)))),
       {},
       false},
      {"PNG cut inside its image data", scratch.Write("cut.png", pngCut), {}, false},
      {"PNG with a bad CRC", scratch.Write("crc.png", pngBadCrc), {}, false},
  };
}

std::vector<sDamagedCase> DamagedTiffs(ScratchFolder& scratch)
{
  kvtest::TiffFileWriter tiffWriter;
  tiffWriter.Width = tiffWriter.Height = 64;
  tiffWriter.Compression = COMPRESSION_LZW;
  if (!tiffWriter.Write(scratch.File("source.tif"))) {
    ADD_FAILURE() << "cannot write the TIFF the damage is made from";
    return {};
  }
  const auto tiff = ScratchFolder::Read(scratch.File("source.tif"));
  fs::remove(scratch.File("source.tif"));
  auto tiffCut = tiff;
  tiffCut.resize(tiff.size() / 3);
  return {
      {"TIFF claiming 60000 x 60000", scratch.Write("huge.tif", kvtest::TiffClaiming(tiff, 60000, 60000)), {}, true},
      {"small TIFF claiming 10000 x 10000",
       scratch.Write("claim.tiff", kvtest::TiffClaiming(tiff, 10000, 10000)),
       {},
       false},
      {"TIFF cut inside its strips", scratch.Write("cut.tif", tiffCut), {}, false},
  };
}

}  // namespace

TEST_F(CliDamagedTest, DamagedOrHugePicturesAreRefusedWithoutWritingOrTheirMemory)
{
  std::vector<sDamagedCase> cases = DamagedJpegsAndBmps(Scratch);
  for (auto group : {DamagedPngs, DamagedTiffs})
    for (const sDamagedCase& c : group(Scratch)) cases.push_back(c);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<std::string> arguments = {"run", c.File, "--op", "Invert", "--out", "out.bmp", "--history", "h.csv"};
    arguments.insert(arguments.end(), c.Options.begin(), c.Options.end());
    const sProgramResult r = Run(arguments);
    EXPECT_EQ(r.Code, 1) << r.Err;
    EXPECT_NE(r.Err.find("Can not load image '" + c.File + "'."), std::string::npos) << r.Err;
    EXPECT_EQ(r.Err.find("pixels; the limit is set with kvadra --max-pixels") != std::string::npos, c.OverLimit)
        << r.Err;
    EXPECT_FALSE(fs::exists(Scratch.File("out.bmp")));
    EXPECT_FALSE(fs::exists(Scratch.File("h.csv")));
    // Refused from the header: far below the gigabytes the claimed picture would take.
    if (PeakIsMeaningful) {
      EXPECT_LT(r.PeakKiB, 100 * 1024) << r.PeakKiB << " KiB";
    }
  }
}

TEST_F(CliDamagedTest, UnsupportedTiffIsRefusedWithItsReason)
{
  kvtest::TiffFileWriter cmyk;
  cmyk.Photometric = PHOTOMETRIC_SEPARATED;
  cmyk.Samples = 4;
  ASSERT_TRUE(cmyk.Write(Scratch.File("cmyk.tif")));
  const sProgramResult r = Run({"run", Scratch.File("cmyk.tif"), "--op", "Invert", "--out", "out.png"});
  EXPECT_EQ(r.Code, 1);
  EXPECT_NE(
      r.Err.find("Can not load image '" + Scratch.File("cmyk.tif") + "'.\nThe TIFF file holds CMYK (separated) colour"),
      std::string::npos)
      << r.Err;
  EXPECT_FALSE(fs::exists(Scratch.File("out.png")));
}

TEST_F(CliDamagedTest, PicturesLoadWhateverTheirNameAndRefusalsSayWhy)
{
  kvtest::BmpFileBuilder rle;
  rle.Width = 6;
  rle.Height = 2;
  rle.Bits = 8;
  rle.Compression = 1;
  rle.Palette = kvtest::GreyPalette(16);
  rle.ColoursUsed = 16;
  rle.Data = {6, 1, 0, 0, 6, 2, 0, 1};
  auto overrun = rle;
  overrun.Data = {7, 1, 0, 1};
  struct sCase {
    const char* Name;
    std::string File;
    std::string Reason;  // empty: the picture loads
  };
  const std::vector<sCase> cases = {
      {"JPEG named .jpeg", Scratch.Write("camera.jpeg", ScratchFolder::Read(KV_SAMPLES_DIR "camera.jpg")), ""},
      {"BMP without an extension", Scratch.Write("camera", ScratchFolder::Read(KV_SAMPLES_DIR "camera.bmp")), ""},
      {"RLE8 BMP", Scratch.Write("rle.BMP", rle.Build()), ""},
      {"RLE8 BMP running past its row", Scratch.Write("overrun.bmp", overrun.Build()),
       "The RLE8 data write past the picture's edge"},
      {"text named .png", Scratch.Write("notes.png", {'h', 'e', 'l', 'l', 'o'}),
       "The file is none of the formats tried (BMP, JPEG, PNG and TIFF)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const sProgramResult r = Run({"run", c.File, "--op", "Invert", "--out", "out.bmp"});
    EXPECT_EQ(r.Code, c.Reason.empty() ? 0 : 1) << r.Err;
    EXPECT_EQ(fs::exists(Scratch.File("out.bmp")), c.Reason.empty());
    if (!c.Reason.empty()) {
      EXPECT_NE(r.Err.find("Can not load image '" + c.File + "'.\n" + c.Reason), std::string::npos) << r.Err;
    }
    fs::remove(Scratch.File("out.bmp"));
  }
}

TEST_F(CliDamagedTest, PictureAtTheLimitLoadsAndTheLimitIsChecked)
{
  const sProgramResult atLimit =
      Run({"--max-pixels", "262144", "run", KV_SAMPLES_DIR "camera.jpg", "--op", "Invert", "--out", "out.bmp"});
  EXPECT_EQ(atLimit.Code, 0) << atLimit.Err;
  EXPECT_TRUE(fs::exists(Scratch.File("out.bmp")));
  const sProgramResult overLimit =
      Run({"measure", KV_SAMPLES_DIR "camera.bmp", "--origin", KV_SAMPLES_DIR "camera.bmp", "--max-pixels", "1000"});
  EXPECT_EQ(overLimit.Code, 1);
  EXPECT_NE(overLimit.Err.find("cannot load picture '" KV_SAMPLES_DIR "camera.bmp': The picture is 512 x 512 pixels, "
                               "more than the limit of 1000 pixels"),
            std::string::npos)
      << overLimit.Err;
  for (const char* bad : {"0", "1073741825", "many"}) {
    SCOPED_TRACE(bad);
    const sProgramResult r = Run({"run", KV_SAMPLES_DIR "camera.bmp", "--max-pixels", bad});
    EXPECT_EQ(r.Code, 2);
    EXPECT_NE(r.Err.find("--max-pixels"), std::string::npos) << r.Err;
  }
}
