// The paper's table: built from known numbers, then from kvadra analyze and kvadra merge runs,
// and compiled by pdflatex where it is installed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "KvTestSupport.h"
#include "KvadraProgram.h"
#include "cDatasetResults.h"
#include "cPaperTable.h"

namespace fs = std::filesystem;
using kvtest::sProgramResult;

namespace {

const double NaN = std::numeric_limits<double>::quiet_NaN();

std::vector<std::string> Lines(const std::string& text)
{
  std::vector<std::string> lines;
  std::stringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

bool HasLine(const std::string& text, const std::string& line)
{
  for (const std::string& l : Lines(text))
    if (l == line) return true;
  return false;
}

// The table without its comment lines (the command that made it).
std::string Body(const std::string& latex)
{
  std::string body;
  for (const std::string& line : Lines(latex))
    if (line.rfind("%", 0) != 0) body += line + "\n";
  return body;
}

TEST(PaperTable, CellsHaveThePapersPrecisionAndTheBestOfEachColumnIsBold)
{
  // Columns: PSNR (higher is better), SSIM, MSE (lower is better) at two sweep values.
  cPaperTable table("Sigma", {15, 25}, {"PSNR", "SSIM", "MSE"});
  table.AddBlock("", {"A_1", "B"},
                 {{{30.123, 0.81234, 50}, {25.0, NaN, 90}},
                  // 30.1249 and 24.999 print as A's values do: equally best.
                  {{30.1249, 0.9, 40}, {24.999, 0.5, 95}}});
  table.SetCaption("Mean PSNR over 2 pictures; best in bold.");
  table.SetOrigin("kvadra analyze set --seed 4", "9.9", 4);
  const std::string markdown = table.Text(tfMarkdown);
  EXPECT_TRUE(HasLine(markdown, "<!-- kvadra analyze set --seed 4 -->")) << markdown;
  EXPECT_TRUE(HasLine(markdown, "<!-- kvadra 9.9, base seed 4 -->")) << markdown;
  EXPECT_TRUE(HasLine(markdown, "| A_1 | **30.12** | 0.8123 | 50.00 | **25.00** |  | **90.00** |")) << markdown;
  EXPECT_TRUE(HasLine(markdown, "| B | **30.12** | **0.9000** | **40.00** | **25.00** | **0.5000** | 95.00 |"))
      << markdown;
  EXPECT_TRUE(HasLine(markdown,
                      "| Restoration | Sigma = 15 PSNR | Sigma = 15 SSIM | Sigma = 15 MSE | Sigma = 25 PSNR "
                      "| Sigma = 25 SSIM | Sigma = 25 MSE |"))
      << markdown;

  const std::string latex = table.Text(tfLatex);
  for (const char* line :
       {"% kvadra analyze set --seed 4", "    Sigma & \\multicolumn{3}{c}{15} & \\multicolumn{3}{c}{25} \\\\",
        "    \\cmidrule(lr){2-4}\\cmidrule(lr){5-7}",
        "    A\\_1 & \\textbf{30.12} & 0.8123 & 50.00 & \\textbf{25.00} & -- & \\textbf{90.00} \\\\",
        "    B & \\textbf{30.12} & \\textbf{0.9000} & \\textbf{40.00} & \\textbf{25.00} & \\textbf{0.5000} & 95.00 "
        "\\\\",
        "  \\begin{tabular}{lrrrrrr}", "    \\toprule", "    \\bottomrule"})
    EXPECT_TRUE(HasLine(latex, line)) << line << "\n" << latex;

  const std::string csv = table.Text(tfCsv);
  EXPECT_TRUE(HasLine(csv, "A_1,30.12,0.8123,50.00,25.00,,90.00\r")) << csv;

  // Blocks find their best apart; an infinite PSNR is the best of its column.
  cPaperTable blocks("p", {1}, {"PSNR"});
  blocks.AddBlock("Mean over 2 pictures", {"A", "B"}, {{{20}}, {{10}}});
  blocks.AddBlock("x.bmp", {"A", "B"}, {{{5}}, {{std::numeric_limits<double>::infinity()}}});
  const std::string perPicture = blocks.Text(tfLatex);
  EXPECT_TRUE(HasLine(perPicture, "    A & \\textbf{20.00} \\\\")) << perPicture;
  EXPECT_TRUE(HasLine(perPicture, "    B & \\textbf{$\\infty$} \\\\")) << perPicture;
  EXPECT_TRUE(HasLine(perPicture, "    \\multicolumn{2}{l}{\\emph{x.bmp}} \\\\")) << perPicture;

  EXPECT_EQ(cPaperTable::ShellCommand({"kvadra", "analyze", "a b", "it's", "--set", "Noise percent=0.1", "15,25"}),
            "kvadra analyze 'a b' 'it'\\''s' --set 'Noise percent=0.1' 15,25");
}

class CliTableTest : public kvtest::KvadraProgramTest {
protected:
  void SetUp() override
  {
    fs::create_directories(Dir / "set");
    int seed = 21;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
      cBMPSurface picture;
      kvtest::FillRandom(picture, 20, 16, 1, seed++);
      ASSERT_TRUE(picture.SaveImage((Dir / "set" / name).string()));
    }
  }
  // The experiment of a paper's table with the given values and further options.
  sProgramResult Analyze(const std::string& values, const std::vector<std::string>& more)
  {
    std::vector<std::string> args = {
        "analyze",     "set",  "--corrupt",   "Gaussian Noise", "--param",   "Sigma",
        "--values",    values, "--restore",   "Median Filter",  "--restore", "Wiener Filter",
        "--criterion", "PSNR", "--criterion", "SSIM",           "--seed",    "1"};
    args.insert(args.end(), more.begin(), more.end());
    return Run(args);
  }
};

TEST_F(CliTableTest, TheTableHoldsTheMeansOfThePicturesOwnValuesAndAValueAloneGivesItsColumn)
{
  const sProgramResult r = Analyze("15,25,50", {"--table", "latex", "--json", "all.json"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  const cDatasetResults all = cDatasetResults::FromJson(File("all.json"), "all.json");
  ASSERT_EQ(all.Pictures().size(), 3u);
  ASSERT_EQ(all.Criteria(), (std::vector<std::string>{"PSNR", "SSIM"}));
  EXPECT_EQ(all.SweepValues(), (std::vector<double>{15, 25, 50}));
  EXPECT_NE(File("all.json").find("\"command\":\"kvadra analyze set --corrupt 'Gaussian Noise'"), std::string::npos);
  const std::string origin = Lines(r.Out).at(1);
  EXPECT_EQ(origin.rfind("% kvadra ", 0), 0u) << origin;
  EXPECT_NE(origin.find(", base seed 1"), std::string::npos) << origin;
  // Every cell: the mean over the pictures at the criterion's precision.
  const std::vector<std::string> names = {"Median Filter (WS=3;HS=3)", "Wiener Filter (WS=3;NV=10)"};
  for (size_t s = 0; s < 2; ++s) {
    std::string expected = "    " + names[s];
    for (size_t k = 0; k < 3; ++k)
      for (size_t c = 0; c < 2; ++c) {
        double sum = 0;
        for (const auto& p : all.Pictures()) sum += p.Values[c][s][k];
        char cell[32];
        std::snprintf(cell, sizeof cell, c == 0 ? "%.2f" : "%.4f", sum / 3);
        expected += std::string(" & ") + cell;
      }
    // Bold marks aside, the row holds these numbers.
    std::string row;
    for (const std::string& line : Lines(r.Out))
      if (line.rfind("    " + names[s], 0) == 0) row = line;
    for (size_t at; (at = row.find("\\textbf{")) != std::string::npos;)
      row.erase(at, 8), row.erase(row.find('}', at), 1);
    EXPECT_EQ(row, expected + " \\\\");
  }
  // One value alone gives the pictures the values of its column in the list.
  ASSERT_EQ(Analyze("50", {"--json", "alone.json"}).Code, 0);
  const cDatasetResults alone = cDatasetResults::FromJson(File("alone.json"), "alone.json");
  for (size_t i = 0; i < 3; ++i)
    for (size_t c = 0; c < 2; ++c)
      for (size_t s = 0; s < 2; ++s) EXPECT_EQ(alone.Pictures()[i].Values[c][s][0], all.Pictures()[i].Values[c][s][2]);
}

TEST_F(CliTableTest, MergedShardsGiveTheSingleRunsTable)
{
  const std::vector<std::string> table = {"--table", "latex", "--per-picture", "--table-out"};
  auto with = [&](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  ASSERT_EQ(Analyze("15,50", with(table, {"single.tex", "--csv", "single.csv"})).Code, 0);
  ASSERT_EQ(Analyze("15,50", {"--shard", "0/2", "--json", "p0.json"}).Code, 0);
  ASSERT_EQ(Analyze("15,50", {"--shard", "1/2", "--json", "p1.json"}).Code, 0);
  const sProgramResult m = Run(with({"merge", "p1.json", "p0.json", "--csv", "merged.csv"}, with(table, {"m.tex"})));
  ASSERT_EQ(m.Code, 0) << m.Err;
  EXPECT_EQ(File("merged.csv"), File("single.csv"));
  EXPECT_EQ(Body(File("m.tex")), Body(File("single.tex")));
  EXPECT_NE(File("m.tex").find("\\emph{c.bmp}"), std::string::npos);
  EXPECT_NE(File("m.tex").find("% kvadra merge p1.json p0.json"), std::string::npos);
  // The CSV names each row's criterion.
  EXPECT_EQ(File("single.csv").rfind("criterion,Sigma,", 0), 0u);
}

TEST_F(CliTableTest, TheLatexTableCompilesInATableEnvironment)
{
  if (std::system("pdflatex --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "pdflatex is not installed (Debian: texlive-latex-recommended, texlive-latex-extra); "
                    "the LaTeX table was not compiled";
  ASSERT_EQ(Analyze("15,25,50", {"--table", "latex", "--per-picture", "--table-out", "table.tex"}).Code, 0);
  std::ofstream(Dir / "paper.tex") << "\\documentclass{article}\n\\usepackage{booktabs}\n\\begin{document}\n"
                                   << File("table.tex") << "\\end{document}\n";
  const std::string command =
      "cd '" + Dir.string() + "' && pdflatex -interaction=nonstopmode -halt-on-error paper.tex >latex.log 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << File("latex.log");
  EXPECT_TRUE(fs::exists(Dir / "paper.pdf"));
}

}  // namespace
