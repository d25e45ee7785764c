// The Tamsel inpainting filter and its data file.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "AdaptiveMeanFilter.h"
#include "KvTestSupport.h"
#include "kvMessages/cUserDialogs.h"

namespace {

std::vector<float> ReadMathDat(const std::string& fileName)
{
  std::ifstream in(fileName, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<float> values;
  for (size_t k = 0; k + 4 <= bytes.size(); k += 4) {
    const uint32_t bits = uint32_t(bytes[k]) | (uint32_t(bytes[k + 1]) << 8) | (uint32_t(bytes[k + 2]) << 16) |
                          (uint32_t(bytes[k + 3]) << 24);
    float v;
    std::memcpy(&v, &bits, 4);
    values.push_back(v);
  }
  return values;
}

double PSNR(cBMPSurface& a, cBMPSurface& b)
{
  double mse = 0;
  for (int c = 0; c < a.GetChannelsCount(); ++c) mse += kvtest::MSE(a, b, c);
  mse /= a.GetChannelsCount();
  return 10.0 * std::log10(255.0 * 255.0 / mse);
}

// Sets a share of the samples to 0 or 255 (half each), independently per channel.
void SaltAndPepper(cBMPSurface& s, double share, uint32_t seed)
{
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x)
      for (int c = 0; c < s.GetChannelsCount(); ++c) {
        const double u = uniform(rng);
        if (u < share) {
          s.CurrentChannel = c;
          s.SetPixel(x, y, u < share / 2 ? 0 : 255);
        }
      }
}

// Captures what the filter shows the user.
class MessageCapture {
public:
  MessageCapture()
  {
    cUserDialogs::SetHandlers([this](const std::string& text) { Texts.push_back(text); }, nullptr);
  }
  ~MessageCapture() { cUserDialogs::SetHandlers(nullptr, nullptr); }
  std::vector<std::string> Texts;
};

class TamselFilter : public ::testing::Test {
protected:
  void SetUp() override { AdaptiveMeanFilter::SetDataFolder(KV_BIN_DIR); }
  void TearDown() override { AdaptiveMeanFilter::SetDataFolder(""); }

  std::unique_ptr<cImage> Run(cImage& source) { return kvtest::RunOperation(Filter, source); }

  AdaptiveMeanFilter Filter;
};

void MakeImage(cImage& image, int w, int h, int channels, const std::function<uint8_t(int, int, int)>& f)
{
  image.SetSize(w, h, channels);
  kvtest::Fill(*image.GetSurface(), w, h, channels, f);
}

}  // namespace

TEST(MathDat, HoldsDistancesThenAnglesOfEveryOffset)
{
  const std::vector<float> values = ReadMathDat(std::string(KV_BIN_DIR) + "/math.dat");
  ASSERT_EQ(values.size(), 5000u);
  for (int i = 0; i < 50; ++i)
    for (int j = 0; j < 50; ++j) {
      const float d = values[size_t(i) * 50 + size_t(j)];
      const float a = values[2500 + size_t(i) * 50 + size_t(j)];
      ASSERT_NEAR(d, std::hypot(i + 1.0, j + 1.0), 1e-4) << i << "," << j;
      ASSERT_NEAR(a, std::atan((i + 1.0) / (j + 1.0)), 1e-6) << i << "," << j;
      ASSERT_GE(a, 0.0f);
      ASSERT_LE(a, float(M_PI / 2));
    }
}

TEST_F(TamselFilter, DescribesItself)
{
  EXPECT_EQ(Filter.GetName(), "Tamsel Filter");
  EXPECT_EQ(Filter.GetGroupName(), "Misc Filters");
  EXPECT_EQ(Filter.GetOperationType(), "otFilter");
  EXPECT_EQ(Filter.GetFormMode(), 0);
  EXPECT_FALSE(Filter.GetTotalVariation());
  EXPECT_EQ(Filter.GetParams()->GetParamsCount(), 0);
}

TEST_F(TamselFilter, LeavesPicturesWithoutBothImpulseKindsUnchanged)
{
  std::mt19937 rng(5);
  cImage saltOnly, clean, allImpulses;
  // Salt only: 255s but no 0s.
  MakeImage(saltOnly, 23, 17, 1, [&](int, int, int) { return uint8_t(rng() % 5 == 0 ? 255 : 1 + rng() % 254); });
  MakeImage(clean, 23, 17, 3, [&](int, int, int) { return uint8_t(1 + rng() % 254); });
  MakeImage(allImpulses, 23, 17, 1, [&](int, int, int) { return uint8_t(rng() % 2 ? 255 : 0); });
  for (cImage* source : {&saltOnly, &clean, &allImpulses}) {
    auto result = Run(*source);
    EXPECT_TRUE(kvtest::SamePixels(*result->GetSurface(), *source->GetSurface()));
  }
  // Pepper only in one channel while another has both kinds: only that other one changes.
  cImage mixed;
  MakeImage(mixed, 9, 9, 3, [](int x, int y, int c) {
    if (x == 4 && y == 4) return uint8_t(c == 1 ? 0 : (c == 2 ? 0 : 60));
    if (x == 0 && y == 0 && c == 2) return uint8_t(255);
    return uint8_t(60 + 20 * c);
  });
  auto result = Run(mixed);
  EXPECT_EQ(kvtest::Pixel(*result->GetSurface(), 4, 4, 0), 60);
  EXPECT_EQ(kvtest::Pixel(*result->GetSurface(), 4, 4, 1), 0);
  EXPECT_EQ(kvtest::Pixel(*result->GetSurface(), 4, 4, 2), 100);
  EXPECT_EQ(kvtest::Pixel(*result->GetSurface(), 0, 0, 2), 100);
}

TEST_F(TamselFilter, FillsImpulsesInAFlatAreaWithTheAreaValue)
{
  // Isolated impulses inside, on an edge and in a corner, plus a large hole whose centre lies
  // so far from good samples that its window holds thousands of candidates.
  cImage source;
  MakeImage(source, 151, 141, 1, [](int x, int y, int) {
    if (x == 70 && y == 20) return uint8_t(0);
    if (x == 0 && y == 0) return uint8_t(255);
    if (x == 150 && y == 77) return uint8_t(0);
    if (x >= 40 && x < 110 && y >= 40 && y < 110) return uint8_t((x + y) % 2 ? 0 : 255);
    return uint8_t(77);
  });
  auto result = Run(source);
  cImage expected;
  MakeImage(expected, 151, 141, 1, [](int, int, int) { return uint8_t(77); });
  EXPECT_TRUE(kvtest::SamePixels(*result->GetSurface(), *expected.GetSurface()));
}

TEST_F(TamselFilter, WindowRadiusTwoAroundANearestSampleAtDistanceOne)
{
  // Centre (3,3) impulse; its only neighbour at distance 1 is (4,3). Everything else is an
  // impulse except one good sample placed per case.
  auto picture = [](cImage& image, int gx, int gy) {
    MakeImage(image, 7, 7, 1, [=](int x, int y, int) {
      if (x == 4 && y == 3) return uint8_t(100);
      if (x == gx && y == gy) return uint8_t(50);
      return uint8_t((x + y) % 2 ? 0 : 255);
    });
  };
  // (0,2) lies at offset (-3,-1): inside the accept bound but outside a radius-2 window.
  cImage far;
  picture(far, 0, 2);
  EXPECT_EQ(kvtest::Pixel(*Run(far)->GetSurface(), 3, 3), 100);
  // (1,2) at offset (-2,-1), distance sqrt 5, is in the window and accepted:
  // (100 / 1 + 50 / 5) / (1 + 1 / 5) = 91.67.
  cImage near;
  picture(near, 1, 2);
  EXPECT_EQ(kvtest::Pixel(*Run(near)->GetSurface(), 3, 3), 92);
}

TEST_F(TamselFilter, DropsSamplesHiddenBehindNearerOnes)
{
  // Impulse at (5,5) in an impulse picture; good samples east at distance 2 (100), west at
  // distance 3 (200) and further west at distance 4 (20). Both western ones pass the bound
  // around the nearest, but the distance-4 one lies behind the distance-3 one and is pruned:
  // (100 / 4 + 200 / 9) / (1 / 4 + 1 / 9) = 130.77 (with it, 114).
  cImage source;
  MakeImage(source, 11, 11, 1, [](int x, int y, int) {
    if (y == 5 && x == 7) return uint8_t(100);
    if (y == 5 && x == 2) return uint8_t(200);
    if (y == 5 && x == 1) return uint8_t(20);
    return uint8_t((x + y) % 2 ? 0 : 255);
  });
  EXPECT_EQ(kvtest::Pixel(*Run(source)->GetSurface(), 5, 5), 131);
}

TEST_F(TamselFilter, OneGoodSampleFeedsEveryImpulseOfSmallAndLongPictures)
{
  // Mirrored windows wider than the picture and nearest samples far beyond 50 pixels.
  struct sCase {
    int W, H, GX, GY;
  };
  for (const sCase& k : {sCase{1, 9, 0, 8}, sCase{9, 1, 4, 0}, sCase{2, 2, 1, 1}, sCase{3, 2, 0, 0},
                         sCase{200, 3, 199, 2}, sCase{2, 130, 0, 0}}) {
    cImage source;
    MakeImage(source, k.W, k.H, 1, [&](int x, int y, int) {
      if (x == k.GX && y == k.GY) return uint8_t(42);
      return uint8_t((x * 7 + y * 3) % 2 ? 0 : 255);
    });
    auto result = Run(source);
    for (int y = 0; y < k.H; ++y)
      for (int x = 0; x < k.W; ++x)
        ASSERT_EQ(kvtest::Pixel(*result->GetSurface(), x, y), 42) << k.W << "x" << k.H << " at " << x << "," << y;
  }
}

TEST_F(TamselFilter, RestoresCorruptedColourChannelsIndependently)
{
  cImage origin;
  ASSERT_TRUE(origin.LoadImage(std::string(KV_SAMPLES_DIR) + "chelsea.bmp"));
  ASSERT_EQ(origin.GetChannelsCount(), 3);
  cImage corrupted;
  corrupted.MakeCopyFrom(origin);
  SaltAndPepper(*corrupted.GetSurface(), 0.2, 11);
  auto result = Run(corrupted);
  for (int c = 0; c < 3; ++c) {
    const double before = kvtest::MSE(*corrupted.GetSurface(), *origin.GetSurface(), c);
    const double after = kvtest::MSE(*result->GetSurface(), *origin.GetSurface(), c);
    EXPECT_LT(after * 20, before) << "channel " << c;
  }
}

TEST_F(TamselFilter, ShowsOblomAndLeavesThePictureWhenTheDataFileIsMissingOrShort)
{
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("kv_tamsel_" + std::to_string(::getpid()));
  fs::create_directories(folder);
  cImage source;
  MakeImage(source, 16, 16, 1, [](int x, int y, int) { return uint8_t(x == y ? 0 : (x == 3 ? 255 : 90)); });

  AdaptiveMeanFilter::SetDataFolder(folder.string());
  {
    MessageCapture messages;
    auto result = Run(source);
    EXPECT_EQ(messages.Texts, std::vector<std::string>{"Oblom"});
    EXPECT_TRUE(kvtest::SamePixels(*result->GetSurface(), *source.GetSurface()));
    EXPECT_EQ(result->GetTitle(), "Tamsel Filter(Terminated!)") << "the run ends as a stopped one";
  }
  {
    // One byte short of the two tables.
    std::ifstream in(std::string(KV_BIN_DIR) + "/math.dat", std::ios::binary);
    std::vector<char> bytes(19999);
    in.read(bytes.data(), std::streamsize(bytes.size()));
    std::ofstream(folder / "math.dat", std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    MessageCapture messages;
    auto result = Run(source);
    EXPECT_EQ(messages.Texts, std::vector<std::string>{"Oblom"});
    EXPECT_TRUE(kvtest::SamePixels(*result->GetSurface(), *source.GetSurface()));
    EXPECT_EQ(result->GetTitle(), "Tamsel Filter(Terminated!)") << "the run ends as a stopped one";
  }
  {
    // The full file in that folder is used.
    fs::copy_file(std::string(KV_BIN_DIR) + "/math.dat", folder / "math.dat", fs::copy_options::overwrite_existing);
    MessageCapture messages;
    auto result = Run(source);
    EXPECT_TRUE(messages.Texts.empty());
    EXPECT_EQ(kvtest::Pixel(*result->GetSurface(), 5, 5), 90);
  }
  fs::remove_all(folder);
}

TEST_F(TamselFilter, StopsAfterTheRowDuringWhichItWasAskedTo)
{
  cImage source;
  MakeImage(source, 12, 6, 3,
            [](int x, int y, int c) { return uint8_t((x + y + c) % 4 == 0 ? (x % 2 ? 0 : 255) : 128); });
  cImage result;
  Filter.SetInterfaces(&source, &result);
  tTerminateFlag stop{true};
  Filter.Execute(stop);
  EXPECT_EQ(result.GetTitle(), "Tamsel Filter(Terminated!)");
  EXPECT_LT(result.PercentDone.load(), 100);
  cBMPSurface& out = *result.GetSurface();
  cBMPSurface& in = *source.GetSurface();
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 12; ++x)
      for (int c = 0; c < 3; ++c) {
        if (y == 0 && c == 0)
          EXPECT_EQ(kvtest::Pixel(out, x, y, c), 128) << x;
        else
          EXPECT_EQ(kvtest::Pixel(out, x, y, c), kvtest::Pixel(in, x, y, c)) << x << "," << y << "," << c;
      }
}

TEST(TamselPackage, LoadsFromPlugInsAndFindsItsDataBesideThePrograms)
{
  // No data folder is set: the lookup goes from the test program's folder to the one above
  // the package.
  kvtest::MessageEnvironment environment;
  cOperationPool pool;
  pool.LoadOperationsFromPackage(std::string(KV_PLUGIN_DIR) + "999pkMisc.so");
  ASSERT_EQ(pool.FindUIDByName("Tamsel Filter"), 2u);
  acOperation* filter = kvtest::FindOperation(pool, "Tamsel Filter");

  cImage origin;
  ASSERT_TRUE(origin.LoadImage(std::string(KV_SAMPLES_DIR) + "camera.bmp"));
  ASSERT_EQ(origin.GetChannelsCount(), 1);
  cImage corrupted;
  corrupted.MakeCopyFrom(origin);
  SaltAndPepper(*corrupted.GetSurface(), 0.2, 2024);
  MessageCapture messages;
  auto result = kvtest::RunOperation(*filter, corrupted);
  EXPECT_TRUE(messages.Texts.empty());
  const double before = PSNR(*corrupted.GetSurface(), *origin.GetSurface());
  const double after = PSNR(*result->GetSurface(), *origin.GetSurface());
  EXPECT_LT(before, 13.0);
  EXPECT_GT(after, before + 15.0);
  EXPECT_EQ(result->PercentDone.load(), 100);
}
