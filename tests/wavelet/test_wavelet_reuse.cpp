// Decompositions whose planes come from reused memory equal decompositions on fresh memory
// bit for bit, and new roots start at zero whatever the reused memory held.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kvRuntime/cPlaneBuffer.h"
#include "kvRuntime/cPlanePool.h"
#include "kvWavelet/cWaveletLib.h"

namespace {

using tBands = std::vector<std::vector<double>>;

tBands Decomposed(const std::vector<double>& plane, int w, int h, int levels)
{
  cWaveletLib lib;
  lib.SetWavelet("doubeshies_9_7");
  sLeaf root = lib.CreateTree("T", w, h);
  std::copy(plane.begin(), plane.end(), root.Data);
  std::string path = "T:";
  tBands bands;
  for (int level = 0; level < levels; ++level) {
    EXPECT_TRUE(lib.Decompose(path));
    for (const char* band : {"/LH", "/HL", "/HH", "/LL"}) {
      const sLeaf leaf = lib.GetLeaf(path + band);
      bands.emplace_back(leaf.Data, leaf.Data + size_t(leaf.Width) * size_t(leaf.Height));
    }
    path += "/LL";
  }
  return bands;
}

void Soil(size_t count)
{
  std::vector<cPlaneBuffer> dirty;
  for (size_t n = count; n > 4; n /= 2) {
    dirty.emplace_back(n);
    dirty.back().Fill(std::numeric_limits<double>::quiet_NaN());
    dirty.emplace_back(n);
    dirty.back().Fill(1e300);
  }
}

bool SameBits(const tBands& a, const tBands& b)
{
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].size() != b[i].size() || std::memcmp(a[i].data(), b[i].data(), a[i].size() * sizeof(double)) != 0)
      return false;
  return true;
}

TEST(WaveletReuse, DecompositionOnReusedPlanesEqualsFreshBitForBit)
{
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> value(-50, 300);
  const int sizes[][2] = {{32, 24}, {33, 25}, {17, 40}, {6, 5}};
  for (auto& s : sizes) {
    const int w = s[0], h = s[1];
    std::vector<double> plane(size_t(w) * size_t(h));
    for (double& v : plane) v = value(rng);
    cPlanePool::Shared().Clear();
    const tBands fresh = Decomposed(plane, w, h, 2);
    Soil(size_t(w + 1) * size_t(h + 1));
    EXPECT_TRUE(SameBits(Decomposed(plane, w, h, 2), fresh)) << w << " x " << h;
    EXPECT_TRUE(SameBits(Decomposed(plane, w, h, 2), fresh)) << w << " x " << h << ", second reuse";
  }
}

TEST(WaveletReuse, NewRootsAreZeroOnReusedMemory)
{
  Soil(64 * 64);
  cWaveletLib lib;
  const sLeaf root = lib.CreateTree("T", 40, 30);
  for (int i = 0; i < 40 * 30; ++i) ASSERT_EQ(root.Data[i], 0.0) << i;
}

}  // namespace
