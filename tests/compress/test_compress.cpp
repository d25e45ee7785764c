// The JPEG round trip and its in-memory codec.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "KvTestSupport.h"
#include "ParamSupport.h"
#include "jpegFilter.h"
#include "kvFiles/cJpegCodec.h"

namespace {

double PSNR(cBMPSurface& a, cBMPSurface& b)
{
  double mse = 0;
  for (int c = 0; c < a.GetChannelsCount(); ++c) mse += kvtest::MSE(a, b, c);
  mse /= a.GetChannelsCount();
  return 10.0 * std::log10(255.0 * 255.0 / mse);
}

std::unique_ptr<cImage> RunRegion(jpegFilter& op, cImage& source, sRect region)
{
  auto result = std::make_unique<cImage>();
  result->SetWholeImage(false);
  result->SetProcessingRect(region);
  op.SetInterfaces(&source, result.get());
  tTerminateFlag terminated{false};
  op.Execute(terminated);
  return result;
}

class JpegRoundTrip : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(Colour.LoadImage(std::string(KV_SAMPLES_DIR) + "chelsea.bmp"));
    ASSERT_EQ(Colour.GetChannelsCount(), 3);
    ASSERT_TRUE(Grey.LoadImage(std::string(KV_SAMPLES_DIR) + "camera.bmp"));
    ASSERT_EQ(Grey.GetChannelsCount(), 1);
  }
  void SetQuality(int q) { kvtest::SetParam(Jpeg, "Compression ratio", q); }

  jpegFilter Jpeg;
  cImage Colour;
  cImage Grey;
};

}  // namespace

TEST_F(JpegRoundTrip, DescribesItselfAndItsQuality)
{
  EXPECT_EQ(Jpeg.GetName(), "JPEG");
  EXPECT_EQ(Jpeg.GetGroupName(), "None");
  EXPECT_EQ(Jpeg.GetOperationType(), "otCompress");
  EXPECT_EQ(Jpeg.GetFormMode(), 1);
  EXPECT_FALSE(Jpeg.GetTotalVariation());
  ASSERT_EQ(Jpeg.GetParams()->GetParamsCount(), 1);
  cOperationParameter* quality = Jpeg.GetParams()->GetParam(0);
  EXPECT_EQ(quality->GetName(), "Compression ratio");
  EXPECT_EQ(quality->GetType(), ptInteger);
  int lo = -1, hi = -1;
  quality->GetBounds(lo, hi);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 100);
  EXPECT_EQ(quality->GetInteger(), 70);
}

TEST_F(JpegRoundTrip, QualityDecidesHowMuchGreyAndColourPicturesChange)
{
  for (cImage* source : {&Grey, &Colour}) {
    SetQuality(100);
    auto best = kvtest::RunOperation(Jpeg, *source);
    SetQuality(0);
    auto worst = kvtest::RunOperation(Jpeg, *source);
    ASSERT_EQ(best->GetChannelsCount(), source->GetChannelsCount());
    ASSERT_EQ(worst->GetChannelsCount(), source->GetChannelsCount());
    ASSERT_EQ(best->GetWidth(), source->GetWidth());
    const double bestPsnr = PSNR(*best->GetSurface(), *source->GetSurface());
    const double worstPsnr = PSNR(*worst->GetSurface(), *source->GetSurface());
    EXPECT_GT(bestPsnr, 40.0) << source->GetChannelsCount();
    EXPECT_LT(worstPsnr, 28.0) << source->GetChannelsCount();
    EXPECT_FALSE(kvtest::SamePixels(*worst->GetSurface(), *source->GetSurface()));
    EXPECT_EQ(best->GetTitle(), "JPEG (CR=100)");
    EXPECT_EQ(best->PercentDone.load(), 100);
  }
}

TEST_F(JpegRoundTrip, EncodesARegionAloneAndLeavesTheRestUntouched)
{
  SetQuality(20);
  const sRect region{13, 7, 13 + 61, 7 + 45};
  auto result = RunRegion(Jpeg, Colour, region);
  // The same region cut out as a picture of its own and compressed whole.
  cImage cut;
  kvtest::Fill(
      *[&]() {
        cut.SetSize(61, 45, 3);
        return cut.GetSurface();
      }(),
      61, 45, 3, [&](int x, int y, int c) { return kvtest::Pixel(*Colour.GetSurface(), x + 13, y + 7, c); });
  auto alone = kvtest::RunOperation(Jpeg, cut);
  bool changed = false;
  for (int y = 0; y < Colour.GetHeight(); ++y)
    for (int x = 0; x < Colour.GetWidth(); ++x)
      for (int c = 0; c < 3; ++c) {
        const uint8_t got = kvtest::Pixel(*result->GetSurface(), x, y, c);
        const bool inside = x >= region.Left && x < region.Right && y >= region.Top && y < region.Bottom;
        if (inside) {
          ASSERT_EQ(got, kvtest::Pixel(*alone->GetSurface(), x - 13, y - 7, c)) << x << "," << y;
          changed |= got != kvtest::Pixel(*Colour.GetSurface(), x, y, c);
        } else {
          ASSERT_EQ(got, kvtest::Pixel(*Colour.GetSurface(), x, y, c)) << x << "," << y;
        }
      }
  EXPECT_TRUE(changed);
}

TEST_F(JpegRoundTrip, RegionsReachingPastThePictureOrEmptyAreSafe)
{
  SetQuality(10);
  const int w = Grey.GetWidth();
  const int h = Grey.GetHeight();
  auto clipped = RunRegion(Jpeg, Grey, sRect{w - 10, h - 12, w + 30, h + 40});
  // Only the 10 x 12 corner inside the picture is coded.
  int changed = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool differs = kvtest::Pixel(*clipped->GetSurface(), x, y) != kvtest::Pixel(*Grey.GetSurface(), x, y);
      ASSERT_TRUE(!differs || (x >= w - 10 && y >= h - 12)) << x << "," << y;
      changed += differs;
    }
  EXPECT_GT(changed, 0);
  auto empty = RunRegion(Jpeg, Grey, sRect{40, 40, 40, 90});
  EXPECT_TRUE(kvtest::SamePixels(*empty->GetSurface(), *Grey.GetSurface()));
  EXPECT_EQ(empty->PercentDone.load(), 100);
}

TEST_F(JpegRoundTrip, CreatesNoFileAndSpareAUsersAaaJpg)
{
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("kv_jpeg_" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const fs::path previous = fs::current_path();
  fs::current_path(folder);
  std::ofstream(folder / "aaa.jpg") << "precious";
  SetQuality(50);
  auto result = kvtest::RunOperation(Jpeg, Colour);
  fs::current_path(previous);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::ifstream kept(folder / "aaa.jpg");
  std::string text;
  kept >> text;
  fs::remove_all(folder);
  EXPECT_EQ(names, std::vector<std::string>{"aaa.jpg"});
  EXPECT_EQ(text, "precious");
  EXPECT_FALSE(kvtest::SamePixels(*result->GetSurface(), *Colour.GetSurface()));
}

TEST_F(JpegRoundTrip, SimultaneousRunsDoNotDisturbEachOther)
{
  SetQuality(35);
  auto alone = kvtest::RunOperation(Jpeg, Colour);
  jpegFilter other;
  kvtest::SetParam(other, "Compression ratio", 35);
  std::unique_ptr<cImage> first, second;
  std::thread a([&] { first = kvtest::RunOperation(Jpeg, Colour); });
  std::thread b([&] { second = kvtest::RunOperation(other, Colour); });
  a.join();
  b.join();
  EXPECT_TRUE(kvtest::SamePixels(*first->GetSurface(), *alone->GetSurface()));
  EXPECT_TRUE(kvtest::SamePixels(*second->GetSurface(), *alone->GetSurface()));
}

TEST(JpegMemoryCodec, RoundTripsAndRefusesWhatItCannotCode)
{
  std::vector<uint8_t> bgr(5 * 3 * 3);
  for (size_t k = 0; k < bgr.size(); ++k) bgr[k] = uint8_t(k * 5);
  std::vector<uint8_t> jpeg;
  ASSERT_TRUE(cJpegCodec::Encode(bgr.data(), 5, 3, 15, 100, jpeg));
  ASSERT_GT(jpeg.size(), 2u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);
  std::vector<uint8_t> back;
  int w = 0, h = 0;
  ASSERT_TRUE(cJpegCodec::Decode(jpeg.data(), jpeg.size(), back, w, h, 15));
  EXPECT_EQ(w, 5);
  EXPECT_EQ(h, 3);
  EXPECT_EQ(back.size(), bgr.size());

  std::vector<uint8_t> unused;
  EXPECT_FALSE(cJpegCodec::Encode(bgr.data(), 0, 3, 15, 50, unused));
  const std::vector<uint8_t> garbage{'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'};
  EXPECT_FALSE(cJpegCodec::Decode(garbage.data(), garbage.size(), back, w, h, 15));
  // A header cut short is a codec error, not a crash.
  const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + 20);
  EXPECT_FALSE(cJpegCodec::Decode(cut.data(), cut.size(), back, w, h, 15));
  // More pixels than the caller allows are refused from the header.
  EXPECT_FALSE(cJpegCodec::Decode(jpeg.data(), jpeg.size(), back, w, h, 14));
}

// Inputs the fuzzer found: a header claiming gigabytes of pixels made the decoder allocate
// them. Each is refused (or decoded whole) within the limit.
TEST(JpegMemoryCodec, FuzzerFindingsAreRefused)
{
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(KV_FUZZ_REGRESSIONS_DIR "jpeg_roundtrip")) {
    SCOPED_TRACE(entry.path().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<uint8_t> back;
    int w = 0, h = 0;
    if (cJpegCodec::Decode(bytes.data(), bytes.size(), back, w, h, 4'000'000)) {
      EXPECT_EQ(back.size(), size_t(w) * size_t(h) * 3);
    }
    EXPECT_LE(back.capacity(), size_t(12'000'000));
    ++files;
  }
  EXPECT_GT(files, 0);
}

TEST(CompressPackage, LoadsFromPlugIns)
{
  kvtest::MessageEnvironment environment;
  cOperationPool pool;
  pool.LoadOperationsFromPackage(std::string(KV_PLUGIN_DIR) + "310pkCompress.so");
  ASSERT_EQ(pool.GetOperationsCount(), 2u);
  acOperation* jpeg = kvtest::FindOperation(pool, "JPEG");
  ASSERT_NE(jpeg, nullptr);
  EXPECT_EQ(jpeg->GetOperationType(), "otCompress");
}
