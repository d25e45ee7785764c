// Reuse of work planes: the pool hands blocks back out, stays within its limit, and the
// measures computed on reused (stale) planes equal those computed on fresh memory, also when
// several computations run at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "PlainQuality.h"
#include "kvPixels/cBMPSurface.h"
#include "kvMeasures/cChannelProperties.h"
#include "kvRuntime/cPlaneBuffer.h"
#include "kvRuntime/cPlanePool.h"

namespace {

TEST(PlanePool, HandsBackKeptBlocksOfFittingSizeOnly)
{
  cPlanePool pool(size_t(1) << 20);
  size_t capacity = 0;
  auto block = pool.Take(1000, capacity);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(capacity, 1000u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(block.get()) % cPlanePool::Alignment, 0u);
  double* const address = block.get();
  pool.Give(std::move(block), capacity);
  EXPECT_EQ(pool.RetainedBlocks(), 1u);
  EXPECT_EQ(pool.RetainedBytes(), 1000 * sizeof(double));

  // Far smaller requests must not hold on to the large block.
  auto small = pool.Take(100, capacity);
  EXPECT_NE(small.get(), address);
  EXPECT_EQ(capacity, 100u);
  pool.Give(std::move(small), capacity);

  // A request the kept block covers gets it back; the best fit wins.
  auto again = pool.Take(900, capacity);
  EXPECT_EQ(again.get(), address);
  EXPECT_EQ(capacity, 1000u);
  EXPECT_EQ(pool.RetainedBlocks(), 1u);
  pool.Give(std::move(again), capacity);

  EXPECT_EQ(pool.Take(0, capacity), nullptr);
  EXPECT_EQ(capacity, 0u);
  pool.Clear();
  EXPECT_EQ(pool.RetainedBlocks(), 0u);
  EXPECT_EQ(pool.RetainedBytes(), 0u);
}

TEST(PlanePool, KeepsNoMoreThanItsLimit)
{
  const size_t count = 50000;  // 400 000 bytes a block
  cPlanePool pool(1000000);
  std::vector<cPlanePool::tBlock> blocks;
  size_t capacity = 0;
  for (int i = 0; i < 4; ++i) blocks.push_back(pool.Take(count, capacity));
  for (auto& block : blocks) pool.Give(std::move(block), count);
  EXPECT_EQ(pool.RetainedBlocks(), 2u);
  EXPECT_LE(pool.RetainedBytes(), 1000000u);
}

TEST(PlaneBuffer, ReturnsItsBlockAndKeepsItWhileLargeEnough)
{
  cPlanePool pool(size_t(1) << 20);
  double* address = nullptr;
  {
    cPlaneBuffer buffer(500, pool);
    ASSERT_EQ(buffer.size(), 500u);
    address = buffer.data();
    buffer.Resize(200);
    EXPECT_EQ(buffer.data(), address);
    EXPECT_EQ(buffer.size(), 200u);
    buffer.Fill(3.0);
    for (double v : buffer) EXPECT_EQ(v, 3.0);
    EXPECT_EQ(pool.RetainedBlocks(), 0u);

    cPlaneBuffer moved(std::move(buffer));
    EXPECT_EQ(moved.data(), address);
    EXPECT_TRUE(buffer.empty());
    cPlaneBuffer other(300, pool);
    other = std::move(moved);  // other's own block goes back to the pool
    EXPECT_EQ(other.data(), address);
    EXPECT_EQ(pool.RetainedBlocks(), 1u);
  }
  EXPECT_EQ(pool.RetainedBlocks(), 2u);
  cPlaneBuffer reused(450, pool);
  EXPECT_EQ(reused.data(), address);
}

// Fills the shared pool with blocks of garbage, as left behind by earlier computations.
void SoilSharedPool(size_t count)
{
  std::vector<cPlaneBuffer> dirty;
  for (int i = 0; i < 12; ++i) {
    dirty.emplace_back(count >> (i % 3));
    dirty.back().Fill(std::numeric_limits<double>::quiet_NaN());
  }
}

void Noisy(cBMPSurface& origin, cBMPSurface& noisy, int w, int h, int channels, unsigned seed)
{
  origin.SetSize(w, h, channels);
  noisy.SetSize(w, h, channels);
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0, 15);
  for (int y = 0; y < h; ++y)
    for (int i = 0; i < w * channels; ++i) {
      const int v = (i * 7 + y * 3 + int(seed) * 11) % 256;
      origin.Row(y)[i] = uint8_t(v);
      noisy.Row(y)[i] = uint8_t(std::clamp(v + int(std::lround(noise(rng))), 0, 255));
    }
}

struct sIndices {
  double Values[3][3];
  bool operator==(const sIndices& o) const
  {
    for (int k = 0; k < 3; ++k)
      for (int c = 0; c < 3; ++c)
        if (std::memcmp(&Values[k][c], &o.Values[k][c], sizeof(double)) != 0) return false;
    return true;
  }
};

sIndices AllIndices(cBMPSurface& noisy, cBMPSurface& origin)
{
  sIndices r{};
  const sQualitySettings settings;
  for (int k = 0; k < 3; ++k)
    for (int c = 0; c < noisy.GetChannelsCount(); ++c)
      r.Values[k][c] = cChannelProperties::Compute(eQualityIndex(k), &noisy, &origin, c, settings);
  return r;
}

TEST(ReusedPlanes, IndicesEqualThoseOnFreshMemoryBitForBit)
{
  const int sizes[][3] = {{64, 48, 1}, {37, 23, 3}, {5, 3, 1}, {130, 7, 3}};
  for (auto& s : sizes) {
    cBMPSurface origin, noisy;
    Noisy(origin, noisy, s[0], s[1], s[2], 3);
    cPlanePool::Shared().Clear();
    const sIndices fresh = AllIndices(noisy, origin);
    SoilSharedPool(size_t(s[0] + 1) * size_t(s[1] + 1));
    EXPECT_TRUE(AllIndices(noisy, origin) == fresh) << s[0] << " x " << s[1];
    // And again, on the planes this very computation left behind.
    EXPECT_TRUE(AllIndices(noisy, origin) == fresh) << s[0] << " x " << s[1];
  }
}

TEST(ReusedPlanes, ConcurrentComputationsOnDifferentPicturesStayCorrect)
{
  const int pictures = 4;
  std::vector<cBMPSurface> origins(pictures), noisies(pictures);
  std::vector<sIndices> expected(pictures), got(pictures);
  for (int i = 0; i < pictures; ++i) {
    Noisy(origins[size_t(i)], noisies[size_t(i)], 40 + 9 * i, 31 + 4 * i, i % 2 ? 3 : 1, unsigned(10 + i));
    expected[size_t(i)] = AllIndices(noisies[size_t(i)], origins[size_t(i)]);
  }
  std::vector<std::thread> threads;
  for (int i = 0; i < pictures; ++i)
    threads.emplace_back([&, i] {
      for (int round = 0; round < 3; ++round) got[size_t(i)] = AllIndices(noisies[size_t(i)], origins[size_t(i)]);
    });
  for (auto& t : threads) t.join();
  for (int i = 0; i < pictures; ++i) EXPECT_TRUE(got[size_t(i)] == expected[size_t(i)]) << "picture " << i;
}

// Real planes can have windows whose means are exactly 0 while they vary: such windows count
// as agreement, as in the definition.
TEST(SubbandIndex, ZeroMeanWindowsThatVaryCountAsAgreement)
{
  const int w = 23, h = 17;
  const double period[5] = {2, -1, -1, 1, -1};  // any five neighbours sum to 0
  std::vector<double> a(size_t(w * h)), b(size_t(w * h));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      a[size_t(y * w + x)] = period[x % 5] * (1 + y % 3);
      b[size_t(y * w + x)] = 2 * period[(x + 1) % 5] * (1 + y % 3);
    }
  const double fast = cChannelProperties::PlaneIQ(a.data(), b.data(), w, h, 5, 5);
  EXPECT_TRUE(std::isfinite(fast));
  EXPECT_NEAR(fast, plain::PlaneIQ(a, b, w, h, 5, 5), 1e-9);
  // Windows whose means are 0 in one plane only give a window index of 0, not 1.
  std::vector<double> c(size_t(w * h), 7.0);
  for (int i = 0; i < w * h; i += 2) c[size_t(i)] = 9.0;
  EXPECT_NEAR(cChannelProperties::PlaneIQ(a.data(), c.data(), w, h, 5, 5), plain::PlaneIQ(a, c, w, h, 5, 5), 1e-9);
}

}  // namespace
