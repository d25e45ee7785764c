// kvadra analyze over several pictures, its shards and kvadra merge, run as a subprocess.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "KvTestSupport.h"
#include "KvadraProgram.h"
#include "PngFileWriter.h"
#include "cDatasetResults.h"
#include "cJsonValue.h"

namespace fs = std::filesystem;
using kvtest::Cells;
using kvtest::sProgramResult;

namespace {

// A document without the line naming the command that wrote it: runs of one experiment by
// different commands (a whole run, a merge of its shards) agree in everything else.
std::string WithoutCommand(const std::string& json)
{
  const size_t at = json.find("\n\"command\":");
  return at == std::string::npos ? json : json.substr(0, at) + json.substr(json.find('\n', at + 1));
}

class CliDatasetTest : public kvtest::KvadraProgramTest {
protected:
  void SetUp() override
  {
    fs::create_directories(Dir / "set");
    // Pictures of different sizes, grey and colour, BMP and PNG.
    cBMPSurface grey, colour;
    kvtest::FillRandom(grey, 24, 20, 1, 11);
    ASSERT_TRUE(grey.SaveImage((Dir / "set" / "a-grey.bmp").string()));
    kvtest::FillRandom(colour, 17, 13, 3, 12);
    ASSERT_TRUE(colour.SaveImage((Dir / "set" / "b-colour.bmp").string()));
    for (auto [name, type, w, h] : {std::tuple{"c-grey.png", PNG_COLOR_TYPE_GRAY, 19, 26},
                                    std::tuple{"d-colour.png", PNG_COLOR_TYPE_RGB, 21, 15}}) {
      kvtest::PngFileWriter png;
      png.Width = w;
      png.Height = h;
      png.ColourType = type;
      Scratch.Write("set/" + std::string(name), png.Encode());
    }
    std::ofstream(Dir / "set" / "notes.txt") << "not a picture\n";
  }
  // The experiment with the given extra options.
  sProgramResult Analyze(std::vector<std::string> inputs, const std::vector<std::string>& more)
  {
    for (const char* a : {"--corrupt", "Salt-and-Pepper Noise", "--sweep", "Noise percent", "0.1", "0.3", "2",
                          "--restore", "Median Filter", "--restore", "Arithmetic Mean", "--seed", "5"})
      inputs.push_back(a);
    inputs.insert(inputs.end(), more.begin(), more.end());
    inputs.insert(inputs.begin(), "analyze");
    return Run(inputs);
  }
};

TEST_F(CliDatasetTest, MeanAndDeviationAreThoseOfEachPicturesOwnValues)
{
  const sProgramResult r = Analyze({"set"}, {"--jobs", "2", "--csv", "all.csv", "--json", "all.json"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  const cDatasetResults results = cDatasetResults::FromJson(File("all.json"), "all.json");
  ASSERT_EQ(results.Pictures().size(), 4u);  // notes.txt is no picture
  EXPECT_EQ(results.Pictures()[1].File, "b-colour.bmp");
  EXPECT_EQ(results.Pictures()[1].Channels, 3);
  EXPECT_EQ(results.Pictures()[2].Width, 19);
  const auto csv = Cells(File("all.csv"), ',');
  ASSERT_EQ(csv.size(), 4u);
  ASSERT_EQ(csv[0].size(), 9u);
  EXPECT_EQ(csv[0][1], "Median Filter (WS=3;HS=3) mean");
  EXPECT_EQ(Cells(r.Out, '\t'), csv);
  for (size_t k = 0; k < 3; ++k)
    for (size_t s = 0; s < 2; ++s) {
      double sum = 0, squares = 0;
      for (const auto& p : results.Pictures()) sum += p.Values[0][s][k];
      const double mean = sum / 4;
      for (const auto& p : results.Pictures()) squares += (p.Values[0][s][k] - mean) * (p.Values[0][s][k] - mean);
      EXPECT_NEAR(std::stod(csv[k + 1][1 + 4 * s]), mean, 1e-12);
      EXPECT_NEAR(std::stod(csv[k + 1][2 + 4 * s]), std::sqrt(squares / 3), 1e-12);
      EXPECT_EQ(csv[k + 1][3 + 4 * s], "4");
      EXPECT_EQ(csv[k + 1][4 + 4 * s], "0");
    }
  // A picture's values are those of a run on it alone under its own seed.
  const auto& c = results.Pictures()[2];
  const sProgramResult alone =
      Run({"analyze", "set/c-grey.png", "--corrupt", "Salt-and-Pepper Noise", "--sweep", "Noise percent", "0.1", "0.3",
           "2", "--restore", "Median Filter", "--restore", "Arithmetic Mean", "--seed", std::to_string(c.Seed)});
  ASSERT_EQ(alone.Code, 0) << alone.Err;
  const auto single = Cells(alone.Out, '\t');
  ASSERT_EQ(single.size(), 4u);
  for (size_t k = 0; k < 3; ++k) EXPECT_EQ(std::stod(single[k + 1][1]), c.Values[0][0][k]);
}

TEST_F(CliDatasetTest, ShuffledInputsAndOneJobGiveTheSameResult)
{
  ASSERT_EQ(Analyze({"set"}, {"--jobs", "2", "--csv", "two.csv", "--json", "two.json"}).Code, 0);
  const sProgramResult one =
      Analyze({"set/d-colour.png", "set/a-grey.bmp", "set/c-grey.png", "set/b-colour.bmp", "set/a-grey.bmp"},
              {"--jobs", "1", "--csv", "one.csv", "--json", "one.json"});
  ASSERT_EQ(one.Code, 0) << one.Err;
  EXPECT_EQ(File("one.csv"), File("two.csv"));
  EXPECT_EQ(WithoutCommand(File("one.json")), WithoutCommand(File("two.json")));
}

TEST_F(CliDatasetTest, MergedShardsEqualTheWholeRunByteForByte)
{
  ASSERT_EQ(Analyze({"set"}, {"--csv", "all.csv", "--json", "all.json"}).Code, 0);
  for (int k = 0; k < 3; ++k) {
    std::string shard = std::to_string(k), partial = "p";
    shard += "/3";
    partial += shard.substr(0, 1) + ".json";
    const sProgramResult r = Analyze({"set"}, {"--shard", shard, "--json", partial});
    ASSERT_EQ(r.Code, 0) << r.Err;
  }
  EXPECT_EQ(cDatasetResults::FromJson(File("p0.json"), "p0").Pictures().size(), 2u);  // places 0 and 3
  const sProgramResult m = Run({"merge", "p2.json", "p0.json", "p1.json", "--csv", "m.csv", "--json", "m.json"});
  ASSERT_EQ(m.Code, 0) << m.Err;
  EXPECT_EQ(File("m.csv"), File("all.csv"));
  EXPECT_EQ(WithoutCommand(File("m.json")), WithoutCommand(File("all.json")));
  // A missing shard is merged with a warning.
  const sProgramResult part = Run({"merge", "p0.json", "p1.json"});
  EXPECT_EQ(part.Code, 0);
  EXPECT_NE(part.Err.find("shard 2/3 not given"), std::string::npos) << part.Err;
}

TEST_F(CliDatasetTest, MergeRefusesOtherExperimentsAndOverlappingPictures)
{
  ASSERT_EQ(Analyze({"set"}, {"--shard", "0/2", "--json", "p0.json"}).Code, 0);
  ASSERT_EQ(Analyze({"set"}, {"--shard", "1/2", "--json", "p1.json", "--restore", "Invert"}).Code, 0);
  ASSERT_EQ(Analyze({"set/a-grey.bmp"}, {"--dataset", "--json", "a.json"}).Code, 0);
  ASSERT_EQ(Analyze({"set/c-grey.png"}, {"--csv", "single.csv", "--json", "single.json"}).Code, 0);
  sProgramResult r = Run({"merge", "p0.json", "p1.json"});
  EXPECT_EQ(r.Code, 1);
  EXPECT_NE(r.Err.find("'p1.json' belongs to another experiment than 'p0.json' (they differ in 'restorations'"),
            std::string::npos)
      << r.Err;
  r = Run({"merge", "p0.json", "a.json"});
  EXPECT_EQ(r.Code, 1);
  EXPECT_NE(r.Err.find("picture 'a-grey.bmp' is in both 'p0.json' and 'a.json'"), std::string::npos) << r.Err;
  r = Run({"merge", "single.json"});
  EXPECT_EQ(r.Code, 1);
  EXPECT_NE(r.Err.find("not the JSON of 'kvadra analyze' over several pictures"), std::string::npos) << r.Err;
  // A single picture keeps its table of one column per restoration.
  EXPECT_EQ(Cells(File("single.csv"), ',')[0].size(), 3u);
  // Two files of one name would share a seed and a name in the results.
  fs::create_directories(Dir / "other");
  fs::copy_file(Dir / "set" / "b-colour.bmp", Dir / "other" / "a-grey.bmp");
  r = Analyze({"set", "other"}, {});
  EXPECT_EQ(r.Code, 2);
  EXPECT_NE(r.Err.find("two pictures are named 'a-grey.bmp'"), std::string::npos) << r.Err;
  r = Analyze({"set"}, {"--shard", "2/2", "--json", "x.json"});
  EXPECT_EQ(r.Code, 2);
}

TEST_F(CliDatasetTest, InfiniteValuesAreCountedApart)
{
  // Summaries directly: infinite values leave mean and deviation alone.
  const sDatasetSummary s = cDatasetResults::Summarize({1.0, HUGE_VAL, 3.0, HUGE_VAL});
  EXPECT_EQ(s.Count, 2);
  EXPECT_EQ(s.Infinite, 2);
  EXPECT_DOUBLE_EQ(s.Mean, 2.0);
  EXPECT_DOUBLE_EQ(s.Deviation, std::sqrt(2.0));
  // Through the program: a copy of an unchanged picture has an infinite PSNR.
  const sProgramResult r =
      Run({"analyze", "set", "--corrupt", "Salt-and-Pepper Noise", "--sweep", "Noise percent", "0", "0.2", "1",
           "--restore", "Median Filter:Width size=1;Height size=1", "--seed", "1", "--json", "inf.json"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  const auto rows = Cells(r.Out, '\t');
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1], (std::vector<std::string>{"0", "", "", "0", "4"}));
  EXPECT_EQ(rows[2][3], "4");
  EXPECT_EQ(rows[2][4], "0");
  EXPECT_NE(File("inf.json").find("[\"inf\","), std::string::npos);
}

TEST_F(CliDatasetTest, InterruptWritesAPartialThatMergeCompletes)
{
  const std::vector<std::string> experiment = {"--corrupt",
                                               "Salt-and-Pepper Noise",
                                               "--sweep",
                                               "Noise percent",
                                               "0",
                                               "0.5",
                                               "120",
                                               "--restore",
                                               "Median Filter",
                                               "--seed",
                                               "3"};
  std::vector<std::string> args = {"analyze", "set"};
  args.insert(args.end(), experiment.begin(), experiment.end());
  args.insert(args.end(), {"--jobs", "1", "--json", "cut.json"});
  const pid_t pid = kvtest::StartProgram(kvtest::KvadraProgram(), args, Dir);
  // Interrupt once the second picture is under way.
  for (int i = 0; i < 3000 && File("stderr.txt").find("(1/4 pictures)") == std::string::npos; ++i) usleep(2000);
  kill(pid, SIGINT);
  const sProgramResult r = kvtest::FinishProgram(pid, Dir);
  ASSERT_EQ(r.Code, 130) << r.Err;
  const cDatasetResults cut = cDatasetResults::FromJson(File("cut.json"), "cut.json");
  ASSERT_GE(cut.Pictures().size(), 1u);
  ASSERT_LT(cut.Pictures().size(), 4u);
  EXPECT_EQ(cut.Pictures().size() + cut.Unfinished().size(), 4u);
  // The unfinished pictures run later, merged with the partial, give the whole run.
  std::vector<std::string> rest;
  for (const auto& u : cut.Unfinished()) rest.push_back("set/" + u.File);
  std::vector<std::string> restArgs = {"analyze"}, allArgs = {"analyze", "set"};
  restArgs.insert(restArgs.end(), rest.begin(), rest.end());
  for (auto* list : {&restArgs, &allArgs}) list->insert(list->end(), experiment.begin(), experiment.end());
  restArgs.insert(restArgs.end(), {"--dataset", "--json", "rest.json"});
  allArgs.insert(allArgs.end(), {"--csv", "all.csv"});
  ASSERT_EQ(Run(restArgs).Code, 0);
  ASSERT_EQ(Run(allArgs).Code, 0);
  ASSERT_EQ(Run({"merge", "cut.json", "rest.json", "--csv", "merged.csv"}).Code, 0);
  EXPECT_EQ(File("merged.csv"), File("all.csv"));
}

TEST(JsonValue, ReadsBackWhatItWritesAndSaysWhereTextIsNotJson)
{
  const std::string text = R"({"a":[1,-2.5e-3,"inf",true,null],"b":{"t\u00e9\n":"x"},"seed":18446744073709551615})";
  const cJsonValue v = cJsonValue::Parse(text);
  EXPECT_EQ(v.At("seed").AsUnsigned(), 18446744073709551615ull);
  EXPECT_EQ(v.At("a").Items()[1].AsReal(), -2.5e-3);
  EXPECT_TRUE(std::isinf(v.At("a").Items()[2].AsReal()));
  EXPECT_EQ(v.At("b").Members()[0].first, "t\xe9\n");
  // Numbers keep their text; written and read again, the text stays.
  EXPECT_EQ(cJsonValue::Parse(v.Serialize()).Serialize(), v.Serialize());
  EXPECT_NE(v.Serialize().find("[1,-2.5e-3,\"inf\",true,null]"), std::string::npos);
  for (const char* bad : {"", "{", "[1,]", R"({"a" 1})", "[1] 2", R"("\u0100")", "nul"})
    EXPECT_THROW(cJsonValue::Parse(bad), std::runtime_error) << bad;
  EXPECT_THROW(cJsonValue::Parse(std::string(100, '[') + std::string(100, ']')), std::runtime_error);
  EXPECT_THROW(v.At("missing"), std::runtime_error);
  EXPECT_THROW(v.At("a").AsString(), std::runtime_error);
}

}  // namespace
