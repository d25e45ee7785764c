// The row form of every operation that has one against the plain per-sample reference, on
// random pictures of awkward sizes, windows larger than the picture, regions touching the
// border or reaching past it, and recursive runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "KvTestSupport.h"
#include "kvOperations/acSingleChannelOperation.h"
#include "kvOperations/cRandomGenerator.h"

namespace {

struct sRegion {
  const char* Name;
  bool Whole;
  sRect Rect;  // in eighths of the picture's size, so one table fits every size
};

// Runs op over source with the region given in eighths, the row form or the reference.
std::unique_ptr<cImage> RunRegion(acSingleChannelOperation& op, cImage& source, const sRegion& region, bool reference)
{
  auto result = std::make_unique<cImage>();
  const int w = source.GetSurface()->GetWidth(), h = source.GetSurface()->GetHeight();
  result->SetWholeImage(region.Whole);
  result->SetProcessingRect({region.Rect.Left * w / 8, region.Rect.Top * h / 8,
                             region.Rect.Right * w / 8 + (region.Rect.Right > 8),
                             region.Rect.Bottom * h / 8 + (region.Rect.Bottom > 8)});
  op.SetInterfaces(&source, result.get());
  op.SetPixelReference(reference);
  cRandomGenerator::SetSeed(20261207);
  tTerminateFlag terminated{false};
  op.Execute(terminated);
  op.SetPixelReference(false);
  return result;
}

// Every parameter at its default, or every integer at its upper bound (windows larger than
// the small pictures), each with "Recursive executing" off and on where it exists, and each
// again with every choice at its last entry and every other switch turned over (settings 4 to
// 7; an operation without such parameters has no settings there).
std::vector<std::string> ParameterSettings(cOperationParams& params, int setting)
{
  std::vector<std::string> changed;
  bool others = false;
  params.ResetToDefault();
  for (int i = 0; i < params.GetParamsCount(); ++i) {
    cOperationParameter& p = *params.GetParam(unsigned(i));
    if (setting & 1 && p.GetType() == ptInteger) {
      int min, max;
      p.GetBounds(min, max);
      // Enough to pass any of the test pictures; the bounds of some sizes reach 255.
      p.SetValue(std::min(max, 41));
      changed.push_back(p.GetName() + "=" + std::to_string(p.GetInteger()));
    }
    if (setting & 2 && p.GetType() == ptBoolean && p.GetName() == "Recursive executing") {
      p.SetValue(true);
      changed.push_back("recursive");
    }
    if (setting & 4 && p.GetType() == ptEnumerated && p.GetEnumStringCount() > 1) {
      p.SetValue(p.GetEnumStringCount() - 1);
      changed.push_back(p.GetName() + "=" + p.GetEnumString(unsigned(p.GetEnumStringCount() - 1)));
      others = true;
    }
    if (setting & 4 && p.GetType() == ptBoolean && p.GetName() != "Recursive executing") {
      p.SetValue(!p.GetBoolean());
      changed.push_back(p.GetName() + (p.GetBoolean() ? " on" : " off"));
      others = true;
    }
  }
  if (setting & 4 && !others) return {};
  return changed;
}

// Turns about a third of the samples into 0 or 255, in clusters as well as alone.
void AddImpulses(cBMPSurface& s, uint32_t seed)
{
  std::mt19937 rng(seed);
  const int n = s.GetWidth() * s.GetChannelsCount();
  for (int y = 0; y < s.GetHeight(); ++y) {
    uint8_t* row = s.Row(y);
    for (int i = 0; i < n; ++i)
      if (rng() % 3 == 0) row[i] = rng() % 2 ? 255 : 0;
  }
}

std::string Describe(const std::vector<std::string>& parts)
{
  std::string s;
  for (const std::string& p : parts) s += p + " ";
  return s;
}

}  // namespace

TEST(RowForm, EveryOperationGivesThePerSampleResult)
{
  kvtest::MessageEnvironment env;
  cOperationPool pool;
  std::vector<std::string> packages;
  for (const auto& entry : std::filesystem::directory_iterator(KV_PLUGIN_DIR))
    if (entry.path().extension() == ".so") packages.push_back(entry.path().string());
  std::sort(packages.begin(), packages.end());
  for (const std::string& p : packages) pool.LoadOperationsFromPackage(p);
  ASSERT_GT(pool.GetOperationsCount(), 40u);

  const std::vector<std::pair<int, int>> sizes = {{1, 1}, {2, 3}, {5, 1}, {1, 6}, {13, 7}, {37, 29}};
  const std::vector<sRegion> regions = {{"whole", true, {}},
                                        {"top-left corner", false, {0, 0, 3, 5}},
                                        {"inside", false, {2, 2, 6, 6}},
                                        {"bottom-right, past the picture", false, {4, 3, 9, 10}}};
  // Random bytes hold few 0 and 255 samples, the only ones detector filters work on.
  struct sPicture {
    int Channels;
    bool Impulses;
  };
  const sPicture pictures[] = {{1, false}, {3, false}, {3, true}};
  std::set<std::string> covered;
  for (unsigned uid = 2; uid <= pool.GetOperationsCount(); ++uid) {
    auto* op = dynamic_cast<acSingleChannelOperation*>(pool.LookForOperationByUID(uid));
    if (!op) continue;
    for (int setting = 0; setting < 8; ++setting) {
      const std::vector<std::string> changed = ParameterSettings(*op->GetParams(), setting);
      if (setting >= 4 && changed.empty()) continue;
      const std::string params = Describe(changed);
      for (const sPicture& picture : pictures)
        for (const auto& [w, h] : sizes) {
          const int channels = picture.Channels;
          cImage source;
          kvtest::FillRandom(*source.GetSurface(), w, h, channels, uint32_t(uid * 131 + w * 7 + h));
          if (picture.Impulses) AddImpulses(*source.GetSurface(), uint32_t(uid + w * h));
          for (const sRegion& region : regions) {
            const auto fast = RunRegion(*op, source, region, false);
            if (op->RanByRows()) covered.insert(op->GetName());
            const auto plain = RunRegion(*op, source, region, true);
            EXPECT_TRUE(kvtest::SamePixels(*fast->GetSurface(), *plain->GetSurface()))
                << op->GetName() << " " << params << channels << " channel(s)"
                << (picture.Impulses ? " with impulses " : " ") << w << " x " << h << ", " << region.Name;
          }
        }
    }
    op->GetParams()->ResetToDefault();
  }
  // Operations that run whole-picture algorithms of their own and have no per-sample form (the
  // Tamsel filter always works on the whole picture and decides per channel from all of it; its
  // own test holds it against a plain transcription of its rules; BM3D filters groups of blocks
  // matched across the picture; wavelet shrinkage thresholds subbands of the whole picture).
  const std::set<std::string> whole = {"JPEG", "Streaks Noise", "Tamsel Filter", "BM3D Filter",
                                       "Wavelet Shrinkage Filter"};
  for (unsigned uid = 2; uid <= pool.GetOperationsCount(); ++uid) {
    const std::string name = pool.LookForOperationByUID(uid)->GetName();
    EXPECT_TRUE(covered.count(name) || whole.count(name)) << name << " has no row form under test";
  }
}

TEST(RowForm, BorderRuleFoldsOntoTheseSamples)
{
  // The per-sample reference reads through the same rule, so its values are pinned here:
  // below 0 the edge sample is not repeated, from n on it is; far beyond, folded once.
  struct sCase {
    int I, N, Folded;
  };
  const sCase cases[] = {{0, 5, 0},  {4, 5, 4},  {-1, 5, 1}, {-4, 5, 4},         {5, 5, 4},
                         {6, 5, 3},  {9, 5, 0},  {10, 5, 4}, {14, 5, 0},         {23, 5, 1},
                         {-7, 5, 2}, {1, 1, 0},  {-1, 1, 0}, {2, 1, 0},          {3, 2, 0},
                         {4, 2, 1},  {-2, 2, 1}, {7, 3, 1},  {2047, 2048, 2047}, {2048, 2048, 2047}};
  for (const sCase& c : cases) EXPECT_EQ(kvFoldIndex(c.I, c.N), c.Folded) << c.I << " on " << c.N;
}
