// Image-level measures: texts, the pending/valid state of the background indices, deletion
// while they run, histograms and spectrum pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "KvTestSupport.h"
#include "PlainQuality.h"
#include "kvImages/cImage.h"
#include "kvMeasures/vclIQThread.h"
#include "kvRuntime/cuGlobalParameters.h"

namespace {

std::unique_ptr<cImage> Picture(int w, int h, int channels, const std::function<uint8_t(int, int, int)>& f)
{
  auto image = std::make_unique<cImage>();
  image->SetSize(w, h, channels);
  kvtest::Fill(*image->GetSurface(), w, h, channels, f);
  return image;
}

std::unique_ptr<cImage> RandomPicture(int w, int h, int channels, uint32_t seed)
{
  auto image = std::make_unique<cImage>();
  image->SetSize(w, h, channels);
  kvtest::FillRandom(*image->GetSurface(), w, h, channels, seed);
  return image;
}

// Restores the settings a test changes.
class MeasureTest : public ::testing::Test {
protected:
  void TearDown() override { *GlobalParams = cuGlobalParameters(); }
  // Requests the index and runs the loop until its computation has reported.
  std::string Settle(kvtest::MessageEnvironment& env, cImage& image, const std::string& name, eQualityIndex kind)
  {
    image.GetMeasureStr(name);
    EXPECT_TRUE(env.Loop.RunUntil([&] { return !image.IsIndexRunning(kind); }, std::chrono::seconds(60)));
    return image.GetMeasureStr(name);
  }
};

TEST_F(MeasureTest, AnImageMeasuredWithoutOriginWaitsThenShowsOne)
{
  kvtest::MessageEnvironment env;
  // Each arrival is reported to the listener the server would install.
  int changes = 0;
  cImage::SetChangeListener([&changes] { ++changes; });
  auto image = RandomPicture(12, 9, 3, 1);
  image->CalculateProperties(nullptr);
  EXPECT_EQ(image->GetMeasureStr("MSE"), "0.00");
  EXPECT_EQ(image->GetMeasureStr("PSNR"), "INF dB");
  EXPECT_TRUE(std::isinf(image->GetPSNR()));
  for (const char* name : {"IQ", "IQHVS", "SSIM"}) EXPECT_EQ(image->GetMeasureStr(name), "wait") << name;
  for (auto kind : {qiIQ, qiIQHVS, qiSSIM}) EXPECT_TRUE(image->IsIndexRunning(kind));
  // A second request while running starts nothing new and still waits.
  EXPECT_EQ(image->GetMeasureStr("IQ"), "wait");
  ASSERT_TRUE(env.Loop.RunUntil(
      [&] { return image->IsIndexValid(qiIQ) && image->IsIndexValid(qiIQHVS) && image->IsIndexValid(qiSSIM); },
      std::chrono::seconds(60)));
  for (const char* name : {"IQ", "IQHVS", "SSIM"}) EXPECT_EQ(image->GetMeasureStr(name), "1.00") << name;
  for (auto kind : {qiIQ, qiIQHVS, qiSSIM}) EXPECT_FALSE(image->IsIndexRunning(kind));
  env.Loop.RunUntilIdle();
  cImage::SetChangeListener(nullptr);
  EXPECT_EQ(changes, 3);
}

TEST_F(MeasureTest, FixedTexts)
{
  auto image = RandomPicture(4, 4, 1, 2);
  EXPECT_EQ(image->GetMeasureStr("Request"), "MSE#PSNR#IQ#Time");
  EXPECT_EQ(image->GetMeasureStr("IJQ"), "error!");
  EXPECT_EQ(image->GetMeasureStr("Unknown"), "n/a");
  EXPECT_EQ(image->GetMeasureStr("mse"), "n/a");
  image->SetTime(1234);
  EXPECT_EQ(image->GetMeasureStr("Time"), "1234 ms");
  GlobalParams->TimeUnit = 0;
  EXPECT_EQ(image->GetMeasureStr("Time"), "1.23 s");
  GlobalParams->TimeUnit = 7;
  EXPECT_EQ(image->GetMeasureStr("Time"), "");
  // Microseconds never show in the text: whole milliseconds, truncated.
  GlobalParams->TimeUnit = 1;
  image->SetTimeMicroseconds(3999);
  EXPECT_EQ(image->GetTime(), 3u);
  EXPECT_EQ(image->GetMeasureStr("Time"), "3 ms");
  image->SetTimeMicroseconds(1234999);
  EXPECT_EQ(image->GetMeasureStr("Time"), "1234 ms");
  GlobalParams->TimeUnit = 0;
  EXPECT_EQ(image->GetMeasureStr("Time"), "1.23 s");
}

TEST_F(MeasureTest, MSEAndPSNRAgainstAnOrigin)
{
  auto origin = Picture(10, 10, 1, [](int x, int y, int) { return uint8_t(x * 20 + y); });
  auto plusOne = Picture(10, 10, 1, [](int x, int y, int) { return uint8_t(x * 20 + y + 1); });
  plusOne->CalculateProperties(origin.get());
  EXPECT_DOUBLE_EQ(plusOne->GetMSE(), 1.0);
  EXPECT_EQ(plusOne->GetMeasureStr("MSE"), "1.00");
  EXPECT_EQ(plusOne->GetMeasureStr("PSNR"), "48.13 dB");
  EXPECT_EQ(plusOne->GetOrigin(), origin.get());

  // One pixel of 10^4 off by 255: MSE 255^2 / 10^4, PSNR 40.
  auto black = Picture(100, 100, 1, [](int, int, int) { return 0; });
  auto spot = Picture(100, 100, 1, [](int x, int y, int) { return x == 50 && y == 50 ? 255 : 0; });
  spot->CalculateProperties(black.get());
  EXPECT_DOUBLE_EQ(spot->GetMSE(), 6.5025);
  EXPECT_NEAR(spot->GetPSNR(), 40.0, 1e-12);
  EXPECT_EQ(spot->GetMeasureStr("PSNR"), "40.00 dB");
  EXPECT_EQ(spot->GetMeasureStr("MSE"), "6.50");

  // Colour: the mean of the channel MSEs.
  auto c1 = Picture(5, 3, 3, [](int, int, int) { return 10; });
  auto c2 = Picture(5, 3, 3, [](int, int, int c) { return uint8_t(10 + 3 * (c == 2)); });
  c2->CalculateProperties(c1.get());
  EXPECT_DOUBLE_EQ(c2->GetMSE(), 3.0);
}

TEST_F(MeasureTest, LargeValuesSwitchToScientificNotation)
{
  auto black = Picture(1, 1, 1, [](int, int, int) { return 0; });
  auto white = Picture(1, 1, 1, [](int, int, int) { return 255; });
  white->CalculateProperties(black.get());
  EXPECT_EQ(white->GetMeasureStr("MSE"), "65025.00");
  EXPECT_EQ(white->GetMeasureStr("PSNR"), "0.00 dB");
  GlobalParams->TimeUnit = 0;
  white->SetTime(123456789);
  EXPECT_EQ(white->GetMeasureStr("Time"), "1.2346E+05 s");
  white->SetTime(99999);
  EXPECT_EQ(white->GetMeasureStr("Time"), "100.00 s");
}

TEST_F(MeasureTest, WithoutAHostIndicesAreComputedAtOnce)
{
  ASSERT_EQ(cMessenger::GetHost(), nullptr);
  auto origin = RandomPicture(15, 11, 1, 3);
  auto image = std::make_unique<cImage>();
  image->MakeCopyFrom(*origin);
  image->CalculateProperties(origin.get());
  EXPECT_EQ(image->GetMeasureStr("IQ"), "1.00");
  EXPECT_TRUE(image->IsIndexValid(qiIQ));
  EXPECT_FALSE(image->IsIndexRunning(qiIQ));
}

TEST_F(MeasureTest, ComputedIndicesMatchTheDefinitionAndNewSettingsMakeThemPendingAgain)
{
  kvtest::MessageEnvironment env;
  auto origin = RandomPicture(17, 13, 1, 4);
  auto noisy = Picture(17, 13, 1, [&](int x, int y, int) {
    return uint8_t(std::min(255, kvtest::Pixel(*origin->GetSurface(), x, y) + (x * y) % 23));
  });
  noisy->CalculateProperties(origin.get());
  Settle(env, *noisy, "IQ", qiIQ);
  Settle(env, *noisy, "SSIM", qiSSIM);
  EXPECT_NEAR(noisy->GetIndexValue(qiIQ), plain::IQ(*noisy->GetSurface(), *origin->GetSurface(), 0, 5, 5), 1e-9);
  EXPECT_NEAR(noisy->GetIndexValue(qiSSIM), plain::SSIM(*noisy->GetSurface(), *origin->GetSurface(), 0, 5, 5), 1e-9);

  GlobalParams->QualityWindowWidth = 7;
  GlobalParams->QualityWindowHeight = 7;
  noisy->RemoveIQ();
  for (auto kind : {qiIQ, qiIQHVS, qiSSIM}) EXPECT_FALSE(noisy->IsIndexValid(kind));
  EXPECT_EQ(noisy->GetMeasureStr("IQ"), "wait");
  ASSERT_TRUE(env.Loop.RunUntil([&] { return noisy->IsIndexValid(qiIQ); }, std::chrono::seconds(60)));
  EXPECT_NEAR(noisy->GetIndexValue(qiIQ), plain::IQ(*noisy->GetSurface(), *origin->GetSurface(), 0, 7, 7), 1e-9);
  // Computing now uses the new window too, and stores the channel value.
  const double measuredWith5x5 = noisy->GetChannelProperties(0)->GetIQHVS();
  const double now = noisy->CalculateIndexNow(qiIQHVS);
  EXPECT_NE(now, measuredWith5x5);
  EXPECT_EQ(noisy->GetChannelProperties(0)->GetIQHVS(), now);
  EXPECT_TRUE(noisy->IsIndexValid(qiIQHVS));
}

// A history refresh after an experiment asks for the indices of dozens of pictures at once: they
// queue on a pool of at most one thread per core and all arrive with their own values.
TEST_F(MeasureTest, ManyRequestsShareABoundedPoolAndAllArrive)
{
  kvtest::MessageEnvironment env;
  auto origin = RandomPicture(64, 48, 3, 11);
  std::vector<std::unique_ptr<cImage>> images;
  for (uint32_t i = 0; i < 40; ++i) {
    images.push_back(RandomPicture(64, 48, 3, 100 + i));
    images.back()->CalculateProperties(origin.get());
    for (const char* name : {"IQ", "IQHVS", "SSIM"}) EXPECT_EQ(images.back()->GetMeasureStr(name), "wait");
  }
  auto countIQThreads = [] {
    int count = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
      std::ifstream comm(task.path() / "comm");
      std::string name;
      std::getline(comm, name);
      count += name == "IQThread";
    }
    return count;
  };
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  EXPECT_LE(countIQThreads(), int(cores));
  // Deleting a few while they wait in the queue or run is safe and drops their results.
  images[3].reset();
  images[17].reset();
  ASSERT_TRUE(env.Loop.RunUntil(
      [&] {
        for (auto& image : images)
          if (image && (image->IsIndexRunning(qiIQ) || image->IsIndexRunning(qiIQHVS) || image->IsIndexRunning(qiSSIM)))
            return false;
        return true;
      },
      std::chrono::seconds(120)));
  EXPECT_LE(countIQThreads(), int(cores));
  EXPECT_EQ(TIQThread::PoolSize(), cores);
  for (size_t i : {size_t(0), size_t(20), size_t(39)}) {
    const double expected = (plain::SSIM(*images[i]->GetSurface(), *origin->GetSurface(), 0, 5, 5) +
                             plain::SSIM(*images[i]->GetSurface(), *origin->GetSurface(), 1, 5, 5) +
                             plain::SSIM(*images[i]->GetSurface(), *origin->GetSurface(), 2, 5, 5)) /
                            3;
    EXPECT_NEAR(images[i]->GetIndexValue(qiSSIM), expected, 1e-9) << i;
    EXPECT_TRUE(images[i]->IsIndexValid(qiIQ));
  }
}

TEST_F(MeasureTest, AStoppedComputationLeavesTheIndexPendingAndTheNextRequestRestartsIt)
{
  kvtest::MessageEnvironment env;
  auto origin = RandomPicture(64, 64, 3, 5);
  auto image = RandomPicture(64, 64, 3, 6);
  image->CalculateProperties(origin.get());
  EXPECT_EQ(image->GetMeasureStr("SSIM"), "wait");
  image->RemoveIQ();
  EXPECT_TRUE(image->IsIndexRunning(qiSSIM));
  ASSERT_TRUE(env.Loop.RunUntil([&] { return !image->IsIndexRunning(qiSSIM); }, std::chrono::seconds(60)));
  EXPECT_FALSE(image->IsIndexValid(qiSSIM));
  EXPECT_EQ(image->GetMeasureStr("SSIM"), "wait");
  EXPECT_TRUE(image->IsIndexRunning(qiSSIM));
  ASSERT_TRUE(env.Loop.RunUntil([&] { return image->IsIndexValid(qiSSIM); }, std::chrono::seconds(60)));
}

TEST_F(MeasureTest, DeletingImagesWhileTheirIndicesRunIsSafe)
{
  kvtest::MessageEnvironment env;
  auto origin = RandomPicture(300, 200, 3, 7);
  {
    auto image = RandomPicture(300, 200, 3, 8);
    image->CalculateProperties(origin.get());
    for (const char* name : {"IQ", "IQHVS", "SSIM"}) EXPECT_EQ(image->GetMeasureStr(name), "wait");
  }  // deleted while its three computations run; their completions must be dropped
  env.Loop.RunUntilIdle();

  // Deleting the origin stops the computations that read it, and its measured images
  // no longer refer to it.
  auto second = RandomPicture(300, 200, 3, 9);
  second->CalculateProperties(origin.get());
  EXPECT_EQ(second->GetMeasureStr("IQ"), "wait");
  origin.reset();
  EXPECT_FALSE(second->IsIndexRunning(qiIQ));
  EXPECT_EQ(second->GetOrigin(), nullptr);
  EXPECT_EQ(second->GetMeasureStr("IQ"), "n/a");
  env.Loop.RunUntilIdle();
  EXPECT_FALSE(second->IsIndexValid(qiIQ));

  // New pixels replace the old: running work is dropped and the indices are pending.
  auto third = RandomPicture(300, 200, 1, 10);
  third->CalculateProperties(nullptr);
  EXPECT_EQ(third->GetMeasureStr("IQHVS"), "wait");
  third->SetSize(20, 20, 1);
  EXPECT_FALSE(third->IsIndexRunning(qiIQHVS));
  EXPECT_FALSE(third->IsIndexValid(qiIQHVS));
  env.Loop.RunUntilIdle();
  EXPECT_FALSE(third->IsIndexValid(qiIQHVS));
}

TEST_F(MeasureTest, AnOriginOfAnotherSizeIsNotComparable)
{
  auto origin = RandomPicture(10, 10, 1, 1);
  auto image = RandomPicture(10, 8, 1, 2);
  image->CalculateProperties(origin.get());
  EXPECT_FALSE(image->IsComparable());
  for (const char* name : {"MSE", "PSNR", "IQ", "IQHVS", "SSIM"}) EXPECT_EQ(image->GetMeasureStr(name), "n/a") << name;
  image->CalculateProperties(nullptr);
  EXPECT_TRUE(image->IsComparable());
  EXPECT_EQ(image->GetMeasureStr("MSE"), "0.00");
}

TEST_F(MeasureTest, ChannelPropertiesFollowTheSurface)
{
  cImage image;
  EXPECT_EQ(image.GetChannelPropertiesCount(), 0);
  image.SetSize(4, 3, 3);
  EXPECT_EQ(image.GetChannelPropertiesCount(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(image.GetChannelProperties(i)->GetChannelIndex(), i);
    EXPECT_EQ(image.GetChannelProperties(i)->GetImageSurface(), image.GetSurface());
  }
  auto grey = RandomPicture(5, 5, 1, 3);
  image.MakeCopyFrom(*grey);
  EXPECT_EQ(image.GetChannelPropertiesCount(), 1);
  // An operation may reshape the surface directly; measuring follows it.
  image.GetSurface()->SetSize(6, 6, 3);
  image.CalculateProperties(nullptr);
  EXPECT_EQ(image.GetChannelPropertiesCount(), 3);
  image.DeleteEverything();
  EXPECT_EQ(image.GetChannelPropertiesCount(), 0);
  EXPECT_EQ(image.GetSpectrumBI(stMagnitude, 10), nullptr);
}

TEST_F(MeasureTest, DisplayHistogram)
{
  auto colour = Picture(6, 4, 3, [](int x, int y, int) { return uint8_t(x * 40 + y); });
  colour->CalculateProperties(nullptr);
  colour->SetSelectedChannel(-1);
  colour->PrepareHistogram();
  const int* channel = colour->GetChannelProperties(0)->GetHistogram();
  for (int i = 0; i < 256; ++i) EXPECT_EQ(colour->GetHistogram()[i], channel[i]) << i;

  auto mixed = Picture(2, 1, 3, [](int x, int, int c) { return uint8_t(c == 0 ? 9 : x); });
  mixed->CalculateProperties(nullptr);
  mixed->PrepareHistogram();
  EXPECT_EQ(mixed->GetHistogram()[9], 0);  // 2 / 3
  EXPECT_EQ(mixed->GetHistogram()[0], 0);  // (0 + 1 + 1) / 3
  mixed->SetSelectedChannel(0);
  mixed->PrepareHistogram();
  EXPECT_EQ(mixed->GetHistogram()[9], 2);
}

TEST_F(MeasureTest, SpectrumPictureOfAConstantPlane)
{
  const int w = 8, h = 8, v = 3;
  auto grey = Picture(w, h, 1, [](int, int, int) { return v; });
  cBMPSurface* magnitude = grey->GetSpectrumBI(stMagnitude, 20.0);
  ASSERT_NE(magnitude, nullptr);
  const double* stored = grey->GetChannelProperties(0)->GetSpectrum();
  const int centre = int(std::log(1.0 + w * h * v) * 20.0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      EXPECT_EQ(kvtest::Pixel(*magnitude, x, y), (x == w / 2 && y == h / 2) ? std::min(centre, 255) : 0)
          << x << "," << y;

  cBMPSurface* phase = grey->GetSpectrumBI(stPhase, 2.0);
  EXPECT_EQ(phase, magnitude);                                      // the image keeps one spectrum picture
  EXPECT_EQ(grey->GetChannelProperties(0)->GetSpectrum(), stored);  // and reuses the transform
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      EXPECT_EQ(kvtest::Pixel(*phase, x, y), (x == w / 2 && y == h / 2) ? 0 : 25) << x << "," << y;

  grey->RemoveFFT();
  EXPECT_FALSE(grey->GetChannelProperties(0)->HasSpectrum());

  auto colour = Picture(4, 6, 3, [](int, int, int c) { return uint8_t(c + 1); });
  cBMPSurface* picture = colour->GetSpectrumBI(stMagnitude, 10.0);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->GetChannelsCount(), 3);
  for (int c = 0; c < 3; ++c) {
    EXPECT_EQ(kvtest::Pixel(*picture, 2, 3, c), int(std::log(1.0 + 24 * (c + 1)) * 10.0)) << c;
    EXPECT_EQ(kvtest::Pixel(*picture, 1, 1, c), 0);
  }
}

TEST_F(MeasureTest, StoredSpectrumIsTheCentredTransformOfTheChannel)
{
  const int w = 7, h = 5;
  auto image = RandomPicture(w, h, 3, 12);
  ASSERT_NE(image->GetSpectrumBI(stMagnitude, 30.0), nullptr);
  const int columns = w / 2 + 1;
  for (int ch = 0; ch < 3; ++ch) {
    const double* stored = image->GetChannelProperties(ch)->GetSpectrum();
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < columns; ++c) {
        double re = 0, im = 0;
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            const double v = -std::pow(-1.0, x + y) * kvtest::Pixel(*image->GetSurface(), x, y, ch);
            const double angle = -2 * M_PI * (double(c * x) / w + double(r * y) / h);
            re += v * std::cos(angle);
            im += v * std::sin(angle);
          }
        EXPECT_NEAR(stored[2 * (r * columns + c)], re, 1e-9);
        EXPECT_NEAR(stored[2 * (r * columns + c) + 1], im, 1e-9);
      }
  }
}

}  // namespace
