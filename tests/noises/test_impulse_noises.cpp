#include <gtest/gtest.h>

#include <cmath>

#include "ImpulseGaussianNoise.h"
#include "NoiseTestSupport.h"
#include "PepperNoise.h"
#include "RandomValuedNoise.h"
#include "SaltAndPepperNoise.h"
#include "SaltNoise.h"

using namespace noisetest;

namespace {

class ImpulseNoise : public ::testing::Test {
protected:
  void TearDown() override { cRandomGenerator::ClearSeed(); }
};

// A density, the number of draws r = 0..99 it hits, and the same for the salt-and-pepper
// noise, whose density passes through single precision.
struct sHitCase {
  double P;
  unsigned Hits;
  unsigned SaltAndPepperHits;
};

void PrintTo(const sHitCase& k, std::ostream* os)
{
  *os << "p = " << k.P;
}

class ImpulseHits : public ::testing::TestWithParam<sHitCase> {
protected:
  void TearDown() override { cRandomGenerator::ClearSeed(); }
};

double Share(cBMPSurface& s, uint8_t value)
{
  return double(Histogram(s)[value]) / (double(s.GetWidth()) * s.GetHeight());
}

// Six standard deviations of a share estimated from n samples.
double Tolerance(double share, double n)
{
  return 6 * std::sqrt(share * (1 - share) / n);
}

}  // namespace

TEST_P(ImpulseHits, EachNoiseHitsExactlyTheDocumentedDraws)
{
  const sHitCase k = GetParam();
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 53, 21, 3, 12);
  const sRect all = WholeOf(source);

  SaltAndPepperNoise saltAndPepper;
  SaltNoise salt;
  PepperNoise pepper;
  RandomValuedNoise uniform;
  ImpulseGaussianNoise gaussian;
  kvtest::SetParam(gaussian, "Mean", 77.3);
  kvtest::SetParam(gaussian, "Standart Deviation", 60);
  struct sNoise {
    const char* Label;
    acOperation& Op;
    const char* Density;
    bool Reseeds;
    tSampleModel Model;
  };
  const sNoise noises[] = {
      {"salt-and-pepper", saltAndPepper, "Noise percent", true, SaltAndPepperModel(k.SaltAndPepperHits)},
      {"salt", salt, "Noise percent", true, FixedImpulseModel(k.Hits, 255)},
      {"pepper", pepper, "Noise percent", true, FixedImpulseModel(k.Hits, 0)},
      {"uniform", uniform, "Probability", false, UniformImpulseModel(k.Hits)},
      {"gaussian", gaussian, "Noise percent", true, GaussianImpulseModel(k.Hits, 77.3f, 60.0f)}};
  for (const sNoise& noise : noises) {
    kvtest::SetParam(noise.Op, noise.Density, k.P);
    auto run = RunAndReplay(noise.Op, source, all, noise.Reseeds, noise.Model);
    EXPECT_TRUE(kvtest::SamePixels(*run->Result->GetSurface(), run->Expected)) << noise.Label;
  }
}

INSTANTIATE_TEST_SUITE_P(Densities, ImpulseHits,
                         ::testing::Values(sHitCase{0, 0, 0}, sHitCase{0.01, 1, 1}, sHitCase{0.1, 10, 11},
                                           sHitCase{0.2, 20, 21}, sHitCase{0.5, 50, 50}, sHitCase{0.33, 33, 34},
                                           sHitCase{0.99, 99, 100}, sHitCase{1, 100, 100}));

TEST_F(ImpulseNoise, HitSharesOnALargePicture)
{
  cImage source;
  Flat(source, 1000, 1000, 1, 128);
  const double n = 1e6;
  SaltNoise salt;
  EXPECT_NEAR(Share(*kvtest::RunOperation(salt, source)->GetSurface(), 255), 0.20, Tolerance(0.20, n));
  PepperNoise pepper;
  EXPECT_NEAR(Share(*kvtest::RunOperation(pepper, source)->GetSurface(), 0), 0.20, Tolerance(0.20, n));
  // Salt-and-pepper hits 21 % (0.2 as a float is just above 0.2), half white, half black.
  SaltAndPepperNoise saltAndPepper;
  auto sp = kvtest::RunOperation(saltAndPepper, source);
  const double white = Share(*sp->GetSurface(), 255), black = Share(*sp->GetSurface(), 0);
  EXPECT_NEAR(white + black, 0.21, Tolerance(0.21, n));
  EXPECT_NEAR(white, 0.105, Tolerance(0.105, n));
  EXPECT_NEAR(black, 0.105, Tolerance(0.105, n));
}

TEST_F(ImpulseNoise, ExtremeDensities)
{
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 120, 80, 3, 13);
  SaltNoise salt;
  PepperNoise pepper;
  SaltAndPepperNoise saltAndPepper;
  RandomValuedNoise uniform;
  ImpulseGaussianNoise gaussian;
  const std::pair<acOperation*, const char*> densities[] = {{&salt, "Noise percent"},
                                                            {&pepper, "Noise percent"},
                                                            {&saltAndPepper, "Noise percent"},
                                                            {&uniform, "Probability"},
                                                            {&gaussian, "Noise percent"}};
  for (const auto& [op, density] : densities) {
    kvtest::SetParam(*op, density, 0);
    EXPECT_TRUE(kvtest::SamePixels(*kvtest::RunOperation(*op, source)->GetSurface(), *source.GetSurface()))
        << op->GetName();
  }
  kvtest::SetParam(salt, "Noise percent", 1);
  kvtest::SetParam(pepper, "Noise percent", 1);
  EXPECT_EQ(Histogram(*kvtest::RunOperation(salt, source)->GetSurface(), 2)[255], 120 * 80);
  EXPECT_EQ(Histogram(*kvtest::RunOperation(pepper, source)->GetSurface(), 1)[0], 120 * 80);
  kvtest::SetParam(saltAndPepper, "Noise percent", 1);
  auto sp = kvtest::RunOperation(saltAndPepper, source);
  const auto h = Histogram(*sp->GetSurface(), 0);
  EXPECT_EQ(h[0] + h[255], 120 * 80);
}

TEST_F(ImpulseNoise, UniformValuedImpulsesCoverAllValuesEvenly)
{
  RandomValuedNoise op;
  kvtest::SetParam(op, "Probability", 1);
  cImage source;
  Flat(source, 1024, 1000, 1, 9);
  const auto h = Histogram(*kvtest::RunOperation(op, source)->GetSurface());
  // Chi-square, 255 degrees of freedom: mean 255, sd 22.6; 6 sd above is 391.
  const double expected = 1024000.0 / 256;
  double chi = 0;
  for (long c : h) chi += (c - expected) * (c - expected) / expected;
  EXPECT_LT(chi, 391.0);
}

TEST_F(ImpulseNoise, GaussianValuedImpulses)
{
  ImpulseGaussianNoise op;
  cImage source;
  Flat(source, 500, 400, 1, 3);
  kvtest::SetParam(op, "Noise percent", 1);
  kvtest::SetParam(op, "Mean", 100.5);
  kvtest::SetParam(op, "Standart Deviation", 0);
  EXPECT_EQ(Histogram(*kvtest::RunOperation(op, source)->GetSurface())[101], 500 * 400);  // half rounds up
  // Mean 255, deviation 100: everything at or above 254.5 is written as 255, P = 0.502.
  kvtest::SetParam(op, "Mean", 255);
  kvtest::SetParam(op, "Standart Deviation", 100);
  EXPECT_NEAR(Share(*kvtest::RunOperation(op, source)->GetSurface(), 255), 0.502, Tolerance(0.5, 2e5));
  // Mean 0: the lower half is clamped to 0.
  kvtest::SetParam(op, "Mean", 0);
  EXPECT_NEAR(Share(*kvtest::RunOperation(op, source)->GetSurface(), 0), 0.502, Tolerance(0.5, 2e5));
}

TEST_F(ImpulseNoise, ChannelsAreHitIndependently)
{
  // p = 0.5 per channel: a pixel has all three channels hit or none with probability 1/4,
  // so 3/4 of the pixels are mixed; one shared decision per pixel would give none.
  cImage source;
  Flat(source, 400, 250, 3, 128);
  SaltNoise salt;
  kvtest::SetParam(salt, "Noise percent", 0.5);
  auto result = kvtest::RunOperation(salt, source);
  long mixed = 0;
  for (int y = 0; y < 250; ++y)
    for (int x = 0; x < 400; ++x) {
      const int hit = (kvtest::Pixel(*result->GetSurface(), x, y, 0) == 255) +
                      (kvtest::Pixel(*result->GetSurface(), x, y, 1) == 255) +
                      (kvtest::Pixel(*result->GetSurface(), x, y, 2) == 255);
      mixed += hit == 1 || hit == 2;
    }
  EXPECT_NEAR(mixed / 1e5, 0.75, Tolerance(0.75, 1e5));
  // Salt-and-pepper may set one channel white and another black in the same pixel.
  SaltAndPepperNoise saltAndPepper;
  kvtest::SetParam(saltAndPepper, "Noise percent", 1);
  auto sp = kvtest::RunOperation(saltAndPepper, source);
  long whiteAndBlack = 0;
  for (int y = 0; y < 250; ++y)
    for (int x = 0; x < 400; ++x)
      whiteAndBlack += kvtest::Pixel(*sp->GetSurface(), x, y, 0) != kvtest::Pixel(*sp->GetSurface(), x, y, 2);
  EXPECT_NEAR(whiteAndBlack / 1e5, 0.5, Tolerance(0.5, 1e5));
}
