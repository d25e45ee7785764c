#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "BmpFileBuilder.h"
#include "CapturedMessagesTest.h"
#include "DamagedJpegs.h"
#include "JpegFileWriter.h"
#include "KeptPicture.h"
#include "KvTestSupport.h"
#include "kvRuntime/cuGlobalParameters.h"
#include "kvMessages/cUserDialogs.h"

using kvtest::ExpectUnchanged;
using kvtest::JpegFileWriter;
using kvtest::Prefill;
using kvtest::ScratchFolder;

namespace {

using ImageTest = kvtest::CapturedMessagesTest;

int MaxDifference(cBMPSurface& s, const std::function<int(int, int, int)>& expected)
{
  int worst = 0;
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x)
      for (int c = 0; c < s.GetChannelsCount(); ++c)
        worst = std::max(worst, std::abs(int(kvtest::Pixel(s, x, y, c)) - expected(x, y, c)));
  return worst;
}

}  // namespace

// --- the image as a picture ---

TEST_F(ImageTest, NewImageIsEmptyAndCoversTheWholePicture)
{
  cImage image;
  EXPECT_EQ(image.GetWidth(), 0);
  EXPECT_EQ(image.GetHeight(), 0);
  EXPECT_EQ(image.GetTitle(), "empty");
  EXPECT_EQ(image.GetTime(), 0u);
  EXPECT_EQ(image.PercentDone.load(), 0);
  EXPECT_TRUE(image.IsWholeImage());
  EXPECT_EQ(image.GetSelectedChannel(), -1);
}

TEST_F(ImageTest, CopyTakesThePixelsOnly)
{
  cImage a, b;
  kvtest::FillRandom(*a.GetSurface(), 6, 4, 1, 3);
  a.SetTitle("source");
  a.SetTime(55);
  a.SetWholeImage(false);
  b.MakeCopyFrom(a);
  EXPECT_TRUE(kvtest::SamePixels(*a.GetSurface(), *b.GetSurface()));
  EXPECT_EQ(b.GetTitle(), "empty");
  EXPECT_EQ(b.GetTime(), 0u);
  EXPECT_TRUE(b.IsWholeImage());

  a.DeleteEverything();
  b.MakeCopyFrom(a);
  EXPECT_EQ(b.GetWidth(), 0);
}

TEST_F(ImageTest, SetSizeGivesBlackPixelsOfTheNewShape)
{
  cImage image;
  kvtest::FillRandom(*image.GetSurface(), 4, 4, 3, 1);
  image.SetSize(7, 2, 1);
  EXPECT_EQ(image.GetWidth(), 7);
  EXPECT_EQ(image.GetChannelsCount(), 1);
  EXPECT_EQ(MaxDifference(*image.GetSurface(), [](int, int, int) { return 0; }), 0);
}

TEST_F(ImageTest, ChannelSelectionIsCheckedAgainstTheChannelCount)
{
  cImage grey;
  grey.SetSize(2, 2, 1);
  grey.SetSelectedChannel(1);
  EXPECT_EQ(grey.GetSelectedChannel(), -1);
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Shown[0], "Can not select that channel! KVImage::SetSelectedChannel");

  cImage colour;
  colour.SetSize(2, 2, 3);
  colour.SetSelectedChannel(2);
  EXPECT_EQ(colour.GetSelectedChannel(), 2);
  colour.SetSelectedChannel(3);
  EXPECT_EQ(colour.GetSelectedChannel(), 2);
  // Below -1 there is no channel either.
  colour.SetSelectedChannel(-2);
  EXPECT_EQ(colour.GetSelectedChannel(), 2);
  colour.SetSelectedChannel(-1);
  EXPECT_EQ(colour.GetSelectedChannel(), -1);
  EXPECT_EQ(Shown.size(), 3u);
}

TEST_F(ImageTest, AccessInfoNeedsASurface)
{
  cImage image;
  image.SetSize(3, 2, 3);
  EXPECT_EQ(image.GetAccessInfo().RowStep, 12);
  image.DeleteEverything();
  EXPECT_DEATH(image.GetAccessInfo(), "itsBI != NULL");
}

// --- loading ---

TEST_F(ImageTest, SampleJpegsDecodeToTheirSizeAndChannels)
{
  cImage grey;
  ASSERT_TRUE(grey.LoadImage(KV_SAMPLES_DIR "camera.jpg"));
  EXPECT_EQ(grey.GetWidth(), 512);
  EXPECT_EQ(grey.GetHeight(), 512);
  EXPECT_EQ(grey.GetChannelsCount(), 1);
  EXPECT_EQ(grey.GetTitle(), "Load 'camera.jpg'");

  // The same picture as BMP: a close match proves rows are not upside down or shifted.
  cImage reference;
  ASSERT_TRUE(reference.LoadImage(KV_SAMPLES_DIR "camera.bmp"));
  EXPECT_LT(kvtest::MSE(*grey.GetSurface(), *reference.GetSurface()), 40.0);

  cImage colour;
  ASSERT_TRUE(colour.LoadImage(KV_SAMPLES_DIR "coffee.jpg"));
  EXPECT_EQ(colour.GetWidth(), 600);
  EXPECT_EQ(colour.GetHeight(), 400);
  EXPECT_EQ(colour.GetChannelsCount(), 3);
  // A colour photograph: blue and red differ substantially.
  double diff = 0;
  for (int y = 0; y < 400; y += 7)
    for (int x = 0; x < 600; x += 7)
      diff += std::abs(int(kvtest::Pixel(*colour.GetSurface(), x, y, 0)) -
                       int(kvtest::Pixel(*colour.GetSurface(), x, y, 2)));
  EXPECT_GT(diff / (58.0 * 86.0), 10.0);
}

TEST_F(ImageTest, SampleBmpsLoadWithTitle)
{
  cImage image;
  ASSERT_TRUE(image.LoadImage(KV_SAMPLES_DIR "chelsea.bmp"));
  EXPECT_EQ(image.GetWidth(), 451);
  EXPECT_EQ(image.GetChannelsCount(), 3);
  EXPECT_EQ(image.GetTitle(), "Load 'chelsea.bmp'");
}

TEST_F(ImageTest, GeneratedGreyAndColourJpegsDecodeToKnownPixels)
{
  JpegFileWriter grey;
  grey.Width = 13;  // odd sizes: surface rows are padded
  grey.Height = 7;
  grey.Space = JCS_GRAYSCALE;
  grey.Components = 1;
  grey.Sample = [](int x, int y, int) { return uint8_t(100 + x * 4 + y * 2); };
  cImage g;
  ASSERT_TRUE(g.LoadImage(Dir.Write("g.jpg", grey.Encode())));
  EXPECT_EQ(g.GetWidth(), 13);
  EXPECT_EQ(g.GetHeight(), 7);
  EXPECT_EQ(g.GetChannelsCount(), 1);
  EXPECT_LE(MaxDifference(*g.GetSurface(), [](int x, int y, int) { return 100 + x * 4 + y * 2; }), 4);

  // Left half red, right half blue: the surface stores blue, green, red.
  JpegFileWriter colour;
  colour.Width = 32;
  colour.Height = 9;
  colour.Sample = [](int x, int, int k) { return uint8_t(x < 16 ? (k == 0 ? 255 : 0) : (k == 2 ? 255 : 0)); };
  cImage c;
  ASSERT_TRUE(c.LoadImage(Dir.Write("c.jpg", colour.Encode())));
  EXPECT_EQ(c.GetChannelsCount(), 3);
  cBMPSurface& s = *c.GetSurface();
  EXPECT_GT(kvtest::Pixel(s, 3, 4, 2), 230);
  EXPECT_LT(kvtest::Pixel(s, 3, 4, 0), 25);
  EXPECT_GT(kvtest::Pixel(s, 28, 4, 0), 230);
  EXPECT_LT(kvtest::Pixel(s, 28, 4, 2), 25);
}

TEST_F(ImageTest, ProgressiveJpegDecodesLikeItsBaselineTwin)
{
  JpegFileWriter w;
  w.Width = 40;
  w.Height = 24;
  cImage baseline, progressive;
  ASSERT_TRUE(baseline.LoadImage(Dir.Write("b.jpg", w.Encode())));
  w.Progressive = true;
  const auto bytes = w.Encode();
  ASSERT_NE(kvtest::FindMarker(bytes, 0xC2), 0u);  // really progressive
  ASSERT_TRUE(progressive.LoadImage(Dir.Write("p.jpg", bytes)));
  EXPECT_EQ(progressive.GetChannelsCount(), 3);
  EXPECT_TRUE(kvtest::SamePixels(*baseline.GetSurface(), *progressive.GetSurface()));
}

TEST_F(ImageTest, CmykJpegLoadsAsColour)
{
  // libjpeg writes CMYK with an Adobe marker, whose convention stores the inks inverted:
  // the stored value is 255 - ink.
  JpegFileWriter w;
  w.Width = 16;
  w.Height = 16;
  w.Space = JCS_CMYK;
  w.Components = 4;
  // Left: pure cyan ink (red 0, green and blue full); right: black key at half.
  w.Sample = [](int x, int, int k) {
    if (x < 8) return uint8_t(k == 0 ? 0 : 255);
    return uint8_t(k == 3 ? 128 : 255);
  };
  cImage image;
  ASSERT_TRUE(image.LoadImage(Dir.Write("cmyk.jpg", w.Encode())));
  EXPECT_EQ(image.GetChannelsCount(), 3);
  cBMPSurface& s = *image.GetSurface();
  EXPECT_LT(kvtest::Pixel(s, 2, 8, 2), 20);   // red
  EXPECT_GT(kvtest::Pixel(s, 2, 8, 1), 235);  // green
  EXPECT_GT(kvtest::Pixel(s, 2, 8, 0), 235);  // blue
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(kvtest::Pixel(s, 12, 8, c), 128, 10) << c;
}

TEST_F(ImageTest, DamagedAndUnsupportedJpegsAreRefusedLeavingTheImage)
{
  JpegFileWriter w;
  w.Width = 64;
  w.Height = 64;
  const auto good = w.Encode();
  w.Progressive = true;
  const auto progressive = w.Encode();
  JpegFileWriter two;
  two.Space = JCS_UNKNOWN;
  two.Components = 2;

  auto cut = [](std::vector<uint8_t> v, size_t size) {
    v.resize(size);
    return v;
  };
  auto patched = [](std::vector<uint8_t> v, uint8_t marker, size_t offset, std::vector<uint8_t> bytes) {
    const size_t at = kvtest::FindMarker(v, marker);
    for (size_t i = 0; i < bytes.size(); ++i) v[at + offset + i] = bytes[i];
    return v;
  };
  const size_t scan = kvtest::FindMarker(good, 0xDA);
  ASSERT_NE(scan, 0u);

  const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
      {"empty", {}},
      {"not a JPEG", std::vector<uint8_t>(300, 0x41)},
      {"start marker only", {0xFF, 0xD8}},
      {"cut inside the headers", cut(good, 100)},
      {"cut inside the scan", cut(good, scan + (good.size() - scan) / 2)},
      {"cut before the end marker", cut(good, good.size() - 2)},
      {"progressive cut inside the scans", cut(progressive, progressive.size() * 2 / 3)},
      {"zero width", patched(good, 0xC0, 7, {0, 0})},
      {"oversized frame", patched(good, 0xC0, 5, {0xFD, 0xE8, 0xFD, 0xE8})},
      {"bogus Huffman table", patched(good, 0xC4, 5, std::vector<uint8_t>(16, 0xFF))},
      {"two components", two.Encode()},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    cImage image;
    Prefill(image);
    EXPECT_FALSE(image.LoadImage(Dir.Write("bad.jpg", bytes)));
    ExpectUnchanged(image);
  }
  // The untouched files do load.
  cImage image;
  EXPECT_TRUE(image.LoadImage(Dir.Write("good.jpg", good)));
  EXPECT_TRUE(image.LoadImage(Dir.Write("good.jpg", progressive)));
}

TEST_F(ImageTest, JpegsWithIncompleteOrCorruptDataOrHugeClaimsAreRefused)
{
  const auto camera = ScratchFolder::Read(KV_SAMPLES_DIR "camera.jpg");
  const auto coffee = ScratchFolder::Read(KV_SAMPLES_DIR "coffee.jpg");
  JpegFileWriter w;
  w.Width = 64;
  w.Height = 64;
  w.Progressive = true;
  const auto progressive = w.Encode();
  // Cut where the third scan starts: the earlier scans are whole, the later ones missing.
  size_t thirdScan = 0;
  for (int seen = 0; seen < 3; ++thirdScan)
    if (progressive[thirdScan] == 0xFF && progressive[thirdScan + 1] == 0xDA) ++seen;
  std::vector<uint8_t> scansMissing(progressive.begin(), progressive.begin() + long(thirdScan - 1));
  scansMissing.insert(scansMissing.end(), {0xFF, 0xD9});
  std::vector<uint8_t> progressiveCut(progressive.begin(), progressive.begin() + long(progressive.size() * 2 / 3));
  if (progressiveCut.back() == 0xFF) progressiveCut.pop_back();
  progressiveCut.insert(progressiveCut.end(), {0xFF, 0xD9});

  struct sCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    bool OverLimit;
  };
  const std::vector<sCase> cases = {
      {"grey scan cut short at a marker", kvtest::ScanCutAtMarker(camera), false},
      {"colour scan cut short at a marker", kvtest::ScanCutAtMarker(coffee, 0.9), false},
      {"corrupt entropy-coded data", kvtest::CorruptEntropyData(camera), false},
      {"corrupt colour entropy-coded data", kvtest::CorruptEntropyData(coffee), false},
      {"progressive scan cut short at a marker", progressiveCut, false},
      {"progressive file without its last scans", scansMissing, false},
      {"tiny baseline claiming 32768 x 32767", kvtest::TinyClaim(camera, 32768, 32767, 0xC0), true},
      {"tiny progressive claiming 32768 x 32767", kvtest::TinyClaim(camera, 32768, 32767, 0xC2), true},
      {"tiny colour progressive claiming 65500 x 65500", kvtest::TinyClaim(coffee, 65500, 65500, 0xC2), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    cImage image;
    Prefill(image);
    EXPECT_FALSE(image.LoadImage(Dir.Write("bad.jpg", c.Bytes)));
    ExpectUnchanged(image);
    // Only the limit is a reason the user can act on.
    EXPECT_EQ(image.GetLoadError().find("more than the limit of 120000000 pixels") != std::string::npos, c.OverLimit)
        << image.GetLoadError();
  }
  EXPECT_TRUE(Shown.empty());
  // Half of the scan really is gone: this is not a file that merely looks odd.
  cImage whole;
  ASSERT_TRUE(whole.LoadImage(KV_SAMPLES_DIR "camera.jpg"));
  EXPECT_EQ(whole.GetLoadError(), "");
}

TEST_F(ImageTest, NoiseAroundTheJpegDataIsAccepted)
{
  for (const char* sample : {"camera.jpg", "coffee.jpg"}) {
    SCOPED_TRACE(sample);
    const std::string original = std::string(KV_SAMPLES_DIR) + sample;
    cImage plain, noisy;
    ASSERT_TRUE(plain.LoadImage(original));
    ASSERT_TRUE(noisy.LoadImage(Dir.Write("noisy.jpg", kvtest::WithNoiseAroundTheData(ScratchFolder::Read(original)))));
    EXPECT_TRUE(kvtest::SamePixels(*plain.GetSurface(), *noisy.GetSurface()));
  }
}

TEST_F(ImageTest, PictureAtThePixelLimitLoadsAndOneRowMoreDoesNot)
{
  JpegFileWriter jpeg;
  jpeg.Width = 40;
  kvtest::BmpFileBuilder bmp;
  bmp.Width = 40;
  GlobalParams->SetMaxPixels(40 * 30);
  for (int height : {30, 31}) {
    jpeg.Height = height;
    bmp.Height = height;
    for (const auto& [kind, file] :
         {std::pair{"JPEG", Dir.Write("p.jpg", jpeg.Encode())}, std::pair{"BMP", Dir.Write("p.bmp", bmp.Build())}}) {
      SCOPED_TRACE(std::string(kind) + " of height " + std::to_string(height));
      cImage image;
      Prefill(image);
      const bool fits = height == 30;
      EXPECT_EQ(image.LoadImage(file), fits);
      if (fits) {
        EXPECT_EQ(image.GetHeight(), 30);
        EXPECT_EQ(image.GetLoadError(), "");
      } else {
        ExpectUnchanged(image);
        EXPECT_EQ(image.GetLoadError(),
                  "The picture is 40 x 31 pixels, more than the limit of 1200 pixels; the limit "
                  "is set with kvadra --max-pixels or in the preferences.");
      }
    }
  }
}

TEST_F(ImageTest, PixelLimitStaysWithinWhatASurfaceHolds)
{
  GlobalParams->SetMaxPixels(0);
  EXPECT_EQ(GlobalParams->GetMaxPixels(), 1u);
  GlobalParams->SetMaxPixels(uint64_t(1) << 40);
  EXPECT_EQ(GlobalParams->GetMaxPixels(), cuGlobalParameters::MaxPixelsCeiling);
  EXPECT_EQ(cuGlobalParameters().GetMaxPixels(), cuGlobalParameters::DefaultMaxPixels);
}

TEST_F(ImageTest, DamagedBmpLeavesTheImageAsItWas)
{
  kvtest::BmpFileBuilder b;
  auto bytes = b.Build();
  bytes.resize(bytes.size() - 1);
  cImage image;
  Prefill(image);
  EXPECT_FALSE(image.LoadImage(Dir.Write("cut.bmp", bytes)));
  ExpectUnchanged(image);
  EXPECT_FALSE(image.LoadImage(Dir.File("missing.bmp")));
  ExpectUnchanged(image);
}

// --- saving ---

TEST_F(ImageTest, SavedPicturesReadBackIdentically)
{
  for (int channels : {1, 3}) {
    cImage image, back;
    kvtest::FillRandom(*image.GetSurface(), 7, 5, channels, 11);
    ASSERT_TRUE(image.SaveImage(Dir.File("s.bmp")));
    ASSERT_TRUE(back.LoadImage(Dir.File("s.bmp")));
    EXPECT_TRUE(kvtest::SamePixels(*image.GetSurface(), *back.GetSurface())) << channels;
  }
}

TEST_F(ImageTest, SavingUnderAJpgNameWritesABmp)
{
  cImage image, back;
  kvtest::FillRandom(*image.GetSurface(), 3, 3, 3, 5);
  ASSERT_TRUE(image.SaveImage(Dir.File("x.jpg")));
  const auto bytes = ScratchFolder::Read(Dir.File("x.jpg"));
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[1], 'M');
  ASSERT_TRUE(back.LoadBMP(Dir.File("x.jpg")));
  EXPECT_TRUE(kvtest::SamePixels(*image.GetSurface(), *back.GetSurface()));
}

TEST_F(ImageTest, SavingWhatIsSeenAfterTheRowsWereTurnedOver)
{
  cImage image, back;
  kvtest::Fill(*image.GetSurface(), 2, 3, 1, [](int, int y, int) { return uint8_t(y * 50); });
  image.GetSurface()->Flop();
  ASSERT_TRUE(image.SaveImage(Dir.File("f.bmp")));
  ASSERT_TRUE(back.LoadImage(Dir.File("f.bmp")));
  EXPECT_EQ(kvtest::Pixel(*back.GetSurface(), 0, 0), 100);
}

TEST_F(ImageTest, UnwritablePathFailsWithoutWriting)
{
  cImage image;
  kvtest::FillRandom(*image.GetSurface(), 3, 3, 1, 5);
  EXPECT_FALSE(image.SaveImage(Dir.File("no/such/folder.bmp")));
  EXPECT_FALSE(image.SaveImage(Dir.Path.string()));
  EXPECT_FALSE(std::filesystem::exists(Dir.File("no")));
}

TEST_F(ImageTest, NothingToSaveIsReportedToTheUser)
{
  cImage fresh;
  EXPECT_FALSE(fresh.SaveImage(Dir.File("empty.bmp")));
  cImage deleted;
  deleted.SetSize(2, 2, 1);
  deleted.DeleteEverything();
  EXPECT_FALSE(deleted.SaveImage(Dir.File("deleted.bmp")));
  EXPECT_EQ(Shown, (std::vector<std::string>{"KVImage::SaveImage() Nothing to Save!",
                                             "KVImage::SaveImage() Nothing to Save!"}));
  EXPECT_FALSE(std::filesystem::exists(Dir.File("empty.bmp")));
  EXPECT_FALSE(std::filesystem::exists(Dir.File("deleted.bmp")));
}
