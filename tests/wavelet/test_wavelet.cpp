// The wavelet library: trees, one-level decomposition with odd-size extension, the periodic
// filtering, failures, and reconstruction.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "kvMessages/cUserDialogs.h"
#include "kvWavelet/cWaveletLib.h"

namespace {

class WaveletTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    cUserDialogs::SetHandlers([this](const std::string& t) { Shown.push_back(t); }, nullptr);
  }
  void TearDown() override { cUserDialogs::SetHandlers(nullptr, nullptr); }
  sLeaf Plane(const std::string& name, int w, int h, double (*f)(int, int))
  {
    sLeaf root = Lib.CreateTree(name, w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) root.Data[y * w + x] = f(x, y);
    return root;
  }
  cWaveletLib Lib;
  std::vector<std::string> Shown;
};

TEST_F(WaveletTest, ConstantPlaneWithDaubechies1)
{
  Lib.SetWavelet("doubeshies_1");
  Plane("Tree", 8, 6, [](int, int) { return 10.0; });
  ASSERT_TRUE(Lib.Decompose("Tree:"));
  EXPECT_EQ(Lib.GetLeaf("Tree:").Data, nullptr);
  const double expected = (2 * 0.70711) * (2 * 0.70711) / 4 * 4 * 10.0;  // (0.70711 + 0.70711)^2 * c
  const sLeaf ll = Lib.GetLeaf("Tree:/LL");
  ASSERT_NE(ll.Data, nullptr);
  EXPECT_EQ(ll.Width, 4);
  EXPECT_EQ(ll.Height, 3);
  for (int i = 0; i < 12; ++i) EXPECT_NEAR(ll.Data[i], expected, 1e-9);
  EXPECT_NEAR(expected, 20.0, 1e-3);
  for (const char* band : {"Tree:/LH", "Tree:/HL", "Tree:/HH"}) {
    const sLeaf leaf = Lib.GetLeaf(band);
    ASSERT_NE(leaf.Data, nullptr) << band;
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(leaf.Data[i], 0.0, 1e-12) << band;
  }
}

TEST_F(WaveletTest, OddPlanesAreExtendedAndFlagged)
{
  Lib.SetWavelet("doubeshies_9_7");
  Plane("Tree", 5, 3, [](int x, int y) { return double(x + 10 * y); });
  ASSERT_TRUE(Lib.Decompose("Tree:"));
  for (const char* band : {"Tree:/LL", "Tree:/LH", "Tree:/HL", "Tree:/HH"}) {
    const sLeaf leaf = Lib.GetLeaf(band);
    EXPECT_EQ(leaf.Width, 3) << band;
    EXPECT_EQ(leaf.Height, 2) << band;
  }
  EXPECT_EQ(Lib.GetLeaf("Tree:/LL").ExtensionFlags, 3);
  Plane("Wide", 5, 4, [](int, int) { return 1.0; });
  ASSERT_TRUE(Lib.Decompose("Wide:"));
  EXPECT_EQ(Lib.GetLeaf("Wide:/LL").ExtensionFlags, 1);
}

TEST_F(WaveletTest, FilteringIsPeriodicAndKeepsEverySecondOutput)
{
  // Daubechies-2 on one 4 x 2 plane, against the formula
  // y[k] = sum_j x[(2k + j) mod n] * f[L - 1 - j] applied to rows, then columns.
  Lib.SetWavelet("doubeshies_2");
  const double lo[4] = {-0.12941, 0.22414, 0.83652, 0.48296};
  const double hi[4] = {-0.48296, 0.83652, -0.22414, -0.12941};
  const double x[2][4] = {{1, 5, 2, 7}, {3, 0, 4, 6}};
  sLeaf root = Lib.CreateTree("T", 4, 2);
  for (int i = 0; i < 8; ++i) root.Data[i] = x[i / 4][i % 4];
  ASSERT_TRUE(Lib.Decompose("T:"));
  auto filter = [](const double* line, int n, const double* f, int k) {
    double s = 0;
    for (int j = 0; j < 4; ++j) s += line[(2 * k + j) % n] * f[3 - j];
    return s;
  };
  double rowsLo[2][2], rowsHi[2][2];
  for (int r = 0; r < 2; ++r)
    for (int k = 0; k < 2; ++k) {
      rowsLo[r][k] = filter(x[r], 4, lo, k);
      rowsHi[r][k] = filter(x[r], 4, hi, k);
    }
  for (int c = 0; c < 2; ++c) {
    const double colLo[2] = {rowsLo[0][c], rowsLo[1][c]}, colHi[2] = {rowsHi[0][c], rowsHi[1][c]};
    EXPECT_NEAR(Lib.GetLeaf("T:/LL").Data[c], filter(colLo, 2, lo, 0), 1e-12);
    EXPECT_NEAR(Lib.GetLeaf("T:/LH").Data[c], filter(colLo, 2, hi, 0), 1e-12);
    EXPECT_NEAR(Lib.GetLeaf("T:/HL").Data[c], filter(colHi, 2, lo, 0), 1e-12);
    EXPECT_NEAR(Lib.GetLeaf("T:/HH").Data[c], filter(colHi, 2, hi, 0), 1e-12);
  }
}

TEST_F(WaveletTest, Daubechies97MatchesTheFormulaExactlyAlsoOnLinesShorterThanTheFilter)
{
  // The rows are filtered with both filters at once; every output must still be the plain
  // sum in tap order, bit for bit, including lines that wrap around more than once.
  const std::vector<double> lo = {0, 0.0378, -0.0238, -0.1106, 0.3774, 0.8527, 0.3774, -0.1106, -0.0238, 0.0378};
  const std::vector<double> hi = {0, -0.0645, 0.0407, 0.4181, -0.7885, 0.4181, 0.0407, -0.0645, 0, 0};
  auto filter = [](const std::vector<double>& line, const std::vector<double>& f, int k) {
    const int n = int(line.size()), L = int(f.size());
    double s = 0;
    for (int j = 0; j < L; ++j) s += line[size_t((2 * k + j) % n)] * f[size_t(L - 1 - j)];
    return s;
  };
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> value(-20, 260);
  for (const auto& size : {std::pair{14, 10}, std::pair{6, 4}, std::pair{2, 12}}) {
    const int w = size.first, h = size.second;
    cWaveletLib lib;
    lib.SetWavelet("doubeshies_9_7");
    sLeaf root = lib.CreateTree("T", w, h);
    std::vector<std::vector<double>> x(static_cast<size_t>(h), std::vector<double>(static_cast<size_t>(w)));
    for (int y = 0; y < h; ++y)
      for (int c = 0; c < w; ++c) root.Data[y * w + c] = x[size_t(y)][size_t(c)] = value(rng);
    ASSERT_TRUE(lib.Decompose("T:"));
    const int hw = w / 2, hh = h / 2;
    std::vector<std::vector<double>> rowLo(static_cast<size_t>(h)), rowHi(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
      for (int k = 0; k < hw; ++k) {
        rowLo[size_t(y)].push_back(filter(x[size_t(y)], lo, k));
        rowHi[size_t(y)].push_back(filter(x[size_t(y)], hi, k));
      }
    for (int c = 0; c < hw; ++c) {
      std::vector<double> colLo, colHi;
      for (int y = 0; y < h; ++y) {
        colLo.push_back(rowLo[size_t(y)][size_t(c)]);
        colHi.push_back(rowHi[size_t(y)][size_t(c)]);
      }
      for (int k = 0; k < hh; ++k) {
        const size_t at = size_t(k * hw + c);
        EXPECT_EQ(lib.GetLeaf("T:/LL").Data[at], filter(colLo, lo, k)) << w << " x " << h;
        EXPECT_EQ(lib.GetLeaf("T:/LH").Data[at], filter(colLo, hi, k)) << w << " x " << h;
        EXPECT_EQ(lib.GetLeaf("T:/HL").Data[at], filter(colHi, lo, k)) << w << " x " << h;
        EXPECT_EQ(lib.GetLeaf("T:/HH").Data[at], filter(colHi, hi, k)) << w << " x " << h;
      }
    }
  }
}

TEST_F(WaveletTest, ThinPlanesAndUnknownNamesFailCleanly)
{
  Lib.SetWavelet("doubeshies_1");
  Plane("Column", 1, 6, [](int, int y) { return double(y); });
  EXPECT_FALSE(Lib.Decompose("Column:"));
  ASSERT_EQ(Shown.size(), 1u);
  EXPECT_EQ(Shown[0], "Width of leaf \"Column:\" equal 1");
  EXPECT_NE(Lib.GetLeaf("Column:").Data, nullptr);
  EXPECT_EQ(Lib.GetLeaf("Column:/LL").Data, nullptr);

  Plane("Row", 6, 1, [](int x, int) { return double(x); });
  EXPECT_FALSE(Lib.Decompose("Row:"));
  ASSERT_EQ(Shown.size(), 2u);
  EXPECT_EQ(Shown[1], "Height of leaf \"Row:\" equal 1");

  EXPECT_FALSE(Lib.Decompose("Missing:"));
  EXPECT_FALSE(Lib.Decompose("no colon"));
  EXPECT_EQ(Lib.GetLeaf("Missing:/LL").Data, nullptr);

  Lib.SetWavelet("doubeshies_7");
  Plane("Tree", 4, 4, [](int, int) { return 1.0; });
  EXPECT_FALSE(Lib.Decompose("Tree:"));
  EXPECT_NE(Lib.GetLeaf("Tree:").Data, nullptr);
  EXPECT_EQ(Shown.size(), 2u);
}

TEST_F(WaveletTest, TwoLevelsAndDeletedTrees)
{
  Lib.SetWavelet("doubeshies_3");
  Plane("Tree", 16, 12, [](int x, int y) { return double((x * 7 + y * 3) % 11); });
  ASSERT_TRUE(Lib.Decompose("Tree:"));
  ASSERT_TRUE(Lib.Decompose("Tree:/LL"));
  const sLeaf deep = Lib.GetLeaf("Tree:/LL/HH");
  EXPECT_EQ(deep.Width, 4);
  EXPECT_EQ(deep.Height, 3);
  EXPECT_EQ(Lib.GetLeaf("Tree:/LL").Data, nullptr);
  Lib.DeleteTree("Tree");
  EXPECT_EQ(Lib.GetLeaf("Tree:/LH").Data, nullptr);
}

TEST_F(WaveletTest, OrthogonalBanksReconstructThePlane)
{
  std::mt19937 rng(3);
  for (const char* bank : {"doubeshies_1", "doubeshies_2", "doubeshies_3"}) {
    Lib.SetWavelet(bank);
    const int w = 9, h = 7;
    sLeaf root = Lib.CreateTree("R", w, h);
    std::vector<double> original(w * h);
    for (auto& v : original) v = double(rng() % 256);
    std::copy(original.begin(), original.end(), root.Data);
    ASSERT_TRUE(Lib.Decompose("R:"));
    ASSERT_TRUE(Lib.Reconstruct("R:"));
    const sLeaf back = Lib.GetLeaf("R:");
    ASSERT_EQ(back.Width, w);
    ASSERT_EQ(back.Height, h);
    for (int i = 0; i < w * h; ++i) EXPECT_NEAR(back.Data[i], original[size_t(i)], 0.2) << bank << " " << i;
    EXPECT_EQ(Lib.GetLeaf("R:/LL").Data, nullptr);
  }
  EXPECT_FALSE(Lib.Reconstruct("R:"));
}

}  // namespace
