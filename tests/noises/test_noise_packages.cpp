#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KvTestSupport.h"

namespace {

struct sExpectedParam {
  std::string Name;
  double Min, Max, Default;
  int Precision;
};

struct sExpectedOperation {
  std::string Name;
  std::string Group;
  std::vector<sExpectedParam> Params;
};

const std::vector<sExpectedOperation> NoisesPackage = {
    {"Gaussian Noise", "Additive Noises", {{"Mean", -255, 255, 0, 2}, {"Sigma", 1, 256, 100, 2}}},
    {"Exponential Noise", "Additive Noises", {{"A", 0, 0.7, 0.25, 3}}},
    {"Rayleigh Noise", "Additive Noises", {{"A", 0, 50, 10, 1}, {"B", 0, 100, 50, 1}}},
    {"Speckle Noise",
     "Multiplicative Noises",
     {{"Standart Deviation", 0, 100, 10, 2}, {"Degree of correlation", 0, 1, 0.5, 2}}},
    {"Salt-and-Pepper Noise", "Impulse Noises", {{"Noise percent", 0, 1, 0.2, 2}}},
    {"Salt Noise", "Impulse Noises", {{"Noise percent", 0, 1, 0.2, 2}}},
    {"Pepper Noise", "Impulse Noises", {{"Noise percent", 0, 1, 0.2, 2}}},
    {"Random Valued (uniform) Noise", "Impulse Noises", {{"Probability", 0, 1, 0.1, 2}}},
    {"Random Valued (gaussian) Noise",
     "Impulse Noises",
     {{"Noise percent", 0, 1, 0.2, 2}, {"Mean", 0, 255, 128, 2}, {"Standart Deviation", 0, 100, 10, 2}}},
    {"Poisson Noise", "Photon Noises", {{"Peak", 1, 10000, 30, 2}}},
    {"Poisson-Gaussian Noise", "Photon Noises", {{"Peak", 1, 10000, 30, 2}, {"Sigma", 0, 100, 5, 2}}},
};

}  // namespace

TEST(NoisePackages, LoadInPackageOrderWithTheirDeclarations)
{
  kvtest::MessageEnvironment env;
  cOperationPool pool;
  pool.LoadOperationsFromPackage(KV_PLUGIN_DIR "210pkNoises.so");
  pool.LoadOperationsFromPackage(KV_PLUGIN_DIR "220pkStringNoise.so");
  ASSERT_EQ(pool.GetOperationsCount(), 13u);  // the resampler is UID 1
  for (unsigned i = 0; i < NoisesPackage.size(); ++i) {
    const sExpectedOperation& e = NoisesPackage[i];
    acOperation* op = pool.LookForOperationByUID(i + 2);
    SCOPED_TRACE(e.Name);
    EXPECT_EQ(op->GetName(), e.Name);
    EXPECT_EQ(op->GetGroupName(), e.Group);
    EXPECT_EQ(op->GetOperationType(), "otNoise");
    EXPECT_EQ(op->GetFormMode(), 1);
    EXPECT_FALSE(op->GetTotalVariation());
    EXPECT_FALSE(op->GetRGBOnly());
    ASSERT_EQ(op->GetParams()->GetParamsCount(), int(e.Params.size()));
    for (unsigned k = 0; k < e.Params.size(); ++k) {
      const cOperationParameter* p = op->GetParams()->GetParam(k);
      double min, max;
      uint8_t precision;
      p->GetBounds(min, max, precision);
      EXPECT_EQ(p->GetType(), ptReal);
      EXPECT_EQ(p->GetName(), e.Params[k].Name);
      EXPECT_DOUBLE_EQ(min, e.Params[k].Min);
      EXPECT_DOUBLE_EQ(max, e.Params[k].Max);
      EXPECT_DOUBLE_EQ(p->GetReal(), e.Params[k].Default);
      EXPECT_EQ(precision, e.Params[k].Precision);
    }
  }
  acOperation* streaks = pool.LookForOperationByUID(13);
  EXPECT_EQ(streaks->GetName(), "Streaks Noise");
  EXPECT_EQ(streaks->GetGroupName(), "None");
  EXPECT_EQ(streaks->GetOperationType(), "otNoise");
  EXPECT_EQ(streaks->GetFormMode(), 1);
  ASSERT_EQ(streaks->GetParams()->GetParamsCount(), 2);
  EXPECT_EQ(streaks->GetParams()->GetParam(0)->GetName(), "Probability");
  EXPECT_DOUBLE_EQ(streaks->GetParams()->GetParam(0)->GetReal(), 0.2);
  const cOperationParameter* type = streaks->GetParams()->GetParam(1);
  EXPECT_EQ(type->GetName(), "Noise type");
  EXPECT_EQ(type->GetType(), ptEnumerated);
  ASSERT_EQ(type->GetEnumStringCount(), 2);
  EXPECT_EQ(type->GetEnumString(0), "Horizontal");
  EXPECT_EQ(type->GetEnumString(1), "Vertical");
  EXPECT_EQ(type->GetEnumSelectedIndex(), 0);
}

TEST(NoisePackages, LoadedNoisesRunAndTitleTheirResults)
{
  kvtest::MessageEnvironment env;
  cOperationPool pool;
  pool.LoadOperationsFromPackage(KV_PLUGIN_DIR "210pkNoises.so");
  pool.LoadOperationsFromPackage(KV_PLUGIN_DIR "220pkStringNoise.so");
  cImage source;
  kvtest::FillRandom(*source.GetSurface(), 40, 30, 3, 21);
  for (unsigned uid = 2; uid <= pool.GetOperationsCount(); ++uid) {
    acOperation* op = pool.LookForOperationByUID(uid);
    auto result = kvtest::RunOperation(*op, source);
    EXPECT_FALSE(kvtest::SamePixels(*result->GetSurface(), *source.GetSurface())) << op->GetName();
    EXPECT_EQ(result->GetTitle().rfind(op->GetName() + " (", 0), 0u) << result->GetTitle();
  }
}
