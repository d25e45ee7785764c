#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ExponentialNoise.h"
#include "GaussianNoise.h"
#include "ImpulseGaussianNoise.h"
#include "NoiseTestSupport.h"
#include "PepperNoise.h"
#include "RandomValuedNoise.h"
#include "RayleighNoise.h"
#include "SaltAndPepperNoise.h"
#include "SaltNoise.h"
#include "SimpleSpeckleNoise.h"
#include "UniformStringNoise.h"

using namespace noisetest;

namespace {

struct sNoiseCase {
  std::string Name;
  std::function<std::unique_ptr<acOperation>(bool plain)> Make;
  bool Reseeds;
  tSampleModel Model;
};

void PrintTo(const sNoiseCase& k, std::ostream* os)
{
  *os << k.Name;
}

template <class tNoise>
std::function<std::unique_ptr<acOperation>(bool)> Maker(std::vector<std::pair<std::string, double>> params)
{
  return [params](bool plain) {
    auto noise = std::make_unique<tNoise>();
    // Plain: the per-sample driver instead of the row form.
    noise->SetPixelReference(plain);
    std::unique_ptr<acOperation> op = std::move(noise);
    for (const auto& [name, value] : params) kvtest::SetParam(*op, name, value);
    return op;
  };
}

std::vector<sNoiseCase> NoiseCases()
{
  return {
      {"Gaussian", Maker<GaussianNoise>({{"Mean", -20}, {"Sigma", 35}}), true, GaussianModel(-20, 35)},
      {"Exponential", Maker<ExponentialNoise>({{"A", 0.05}}), false, ExponentialModel(0.05)},
      {"Rayleigh", Maker<RayleighNoise>({{"A", 2.5}, {"B", 70}}), false, RayleighModel(2.5, 70)},
      {"Speckle", Maker<SimpleSpeckleNoise>({{"Standart Deviation", 20}, {"Degree of correlation", 0.5}}), true,
       SpeckleModel(20, 0.5)},
      {"SaltAndPepper", Maker<SaltAndPepperNoise>({{"Noise percent", 0.3}}), true, SaltAndPepperModel(31)},
      {"Salt", Maker<SaltNoise>({{"Noise percent", 0.3}}), true, FixedImpulseModel(30, 255)},
      {"Pepper", Maker<PepperNoise>({{"Noise percent", 0.3}}), true, FixedImpulseModel(30, 0)},
      {"RandomValued", Maker<RandomValuedNoise>({{"Probability", 0.3}}), false, UniformImpulseModel(30)},
      {"ImpulseGaussian",
       Maker<ImpulseGaussianNoise>({{"Noise percent", 0.3}, {"Mean", 200}, {"Standart Deviation", 40}}), true,
       GaussianImpulseModel(30, 200, 40)},
  };
}

class NoiseRegions : public ::testing::TestWithParam<sNoiseCase> {
protected:
  void TearDown() override { cRandomGenerator::ClearSeed(); }
};

bool OutsideUnchanged(cBMPSurface& result, cBMPSurface& source, const sRect& r)
{
  for (int c = 0; c < source.GetChannelsCount(); ++c)
    for (int y = 0; y < source.GetHeight(); ++y)
      for (int x = 0; x < source.GetWidth(); ++x) {
        const bool inside = x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
        if (!inside && kvtest::Pixel(result, x, y, c) != kvtest::Pixel(source, x, y, c)) return false;
      }
  return true;
}

}  // namespace

TEST_P(NoiseRegions, RegionRunsFollowTheSampleRuleAndLeaveTheRestAlone)
{
  const sNoiseCase& k = GetParam();
  auto op = k.Make(false);
  for (int channels : {1, 3}) {
    cImage source;
    kvtest::FillRandom(*source.GetSurface(), 45, 33, channels, 17);
    // Whole, interior, one-pixel-wide, empty, and reaching past the right and bottom edges
    // (clipped to the picture).
    for (const sRect& region :
         {sRect{0, 0, 45, 33}, sRect{3, 4, 30, 20}, sRect{10, 0, 11, 33}, sRect{5, 5, 5, 9}, sRect{30, 20, 50, 36}}) {
      auto run = RunAndReplay(*op, source, region, k.Reseeds, k.Model);
      const std::string where = std::to_string(channels) + " channels, region from " + std::to_string(region.Left) +
                                "," + std::to_string(region.Top);
      EXPECT_TRUE(kvtest::SamePixels(*run->Result->GetSurface(), run->Expected)) << where;
      EXPECT_TRUE(OutsideUnchanged(*run->Result->GetSurface(), *source.GetSurface(), region)) << where;
    }
  }
}

TEST_P(NoiseRegions, RowPathGivesThePlainDriversPicture)
{
  const sNoiseCase& k = GetParam();
  auto fast = k.Make(false);
  auto plain = k.Make(true);
  for (int channels : {1, 3}) {
    cImage source;
    kvtest::FillRandom(*source.GetSurface(), 67, 29, channels, 18);
    const sRect region{7, 2, 60, 27};
    cRandomGenerator::SetSeed(555);
    auto a = kvtest::RunOperation(*fast, source, region);
    const unsigned nextAfterFast = Random(1u << 30);
    cRandomGenerator::SetSeed(555);
    auto b = kvtest::RunOperation(*plain, source, region);
    EXPECT_TRUE(kvtest::SamePixels(*a->GetSurface(), *b->GetSurface())) << channels;
    EXPECT_EQ(Random(1u << 30), nextAfterFast) << channels;
    EXPECT_EQ(a->GetTitle(), b->GetTitle());
    EXPECT_EQ(a->PercentDone.load(), 100);
  }
}

TEST_P(NoiseRegions, ATerminatedRunStopsEarly)
{
  auto op = GetParam().Make(false);
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 30, 30, 3, 19);
  cImage result;
  op->SetInterfaces(&source, &result);
  tTerminateFlag terminated{true};
  op->Execute(terminated);
  EXPECT_TRUE(kvtest::SamePixels(*result.GetSurface(), *source.GetSurface()));
  EXPECT_EQ(result.GetTitle(), op->GetName() + "(Terminated!)");
}

INSTANTIATE_TEST_SUITE_P(AllNoises, NoiseRegions, ::testing::ValuesIn(NoiseCases()),
                         [](const ::testing::TestParamInfo<sNoiseCase>& info) { return info.param.Name; });

TEST(StreaksRegion, SamplesOutsideTheRegionNeverChange)
{
  UniformStringNoise op;
  kvtest::SetParam(op, "Probability", 1.0);
  for (int type : {0, 1}) {
    kvtest::SetParam(op, "Noise type", type);
    cImage source;
    kvtest::FillRandom(*source.GetSurface(), 50, 40, 3, 20);
    const sRect region{10, 5, 31, 22};
    auto result = kvtest::RunOperation(op, source, region);
    EXPECT_TRUE(OutsideUnchanged(*result->GetSurface(), *source.GetSurface(), region)) << type;
    EXPECT_FALSE(kvtest::SamePixels(*result->GetSurface(), *source.GetSurface())) << type;
  }
}
