#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "FindMedian.h"
#include "MedianReference.h"
#include "cMedianNetwork.h"

using kvtest::SortedMedian;

TEST(FindMedian, MatchesSortedMedianForEveryWindowCount)
{
  std::mt19937 rng(7);
  std::vector<unsigned> counts;
  for (unsigned n = 1; n <= 130; ++n) counts.push_back(n);
  for (unsigned n : {729u, 1023u, 1024u, 1025u, 5000u}) counts.push_back(n);
  for (unsigned n : counts)
    for (int trial = 0; trial < 20; ++trial) {
      std::vector<uint8_t> v(n);
      // Narrow ranges give many ties, wide ones distinct values.
      const unsigned range = trial % 2 ? 256 : 4;
      for (auto& x : v) x = uint8_t(rng() % range);
      const std::vector<uint8_t> before = v;
      ASSERT_EQ(FindMedian(v.data(), n), SortedMedian(v)) << "count " << n;
      ASSERT_EQ(v, before) << "values must be left untouched";
    }
}

TEST(FindMedian, EvenCountGivesLowerMiddleAndSmallCounts)
{
  const uint8_t two[] = {200, 10};
  EXPECT_EQ(FindMedian(two, 2), 10);
  const uint8_t four[] = {40, 10, 30, 20};
  EXPECT_EQ(FindMedian(four, 4), 20);
  const uint8_t one[] = {77};
  EXPECT_EQ(FindMedian(one, 1), 77);
  EXPECT_EQ(FindMedian(nullptr, 0), 0);
}

TEST(FindMedian, FewerThanNineGiveTheirOwnMiddleAlsoAmongZerosAnd255s)
{
  // Short counts are padded with 0s and 255s for the nine-value network: every input of the
  // extreme values and their neighbours, ties included.
  const uint8_t levels[] = {0, 1, 254, 255};
  for (unsigned n = 3; n < 9; ++n)
    for (unsigned code = 0; code < (1u << (2 * n)); ++code) {
      std::vector<uint8_t> v(n);
      for (unsigned i = 0; i < n; ++i) v[i] = levels[(code >> (2 * i)) & 3];
      ASSERT_EQ(FindMedian(v.data(), n), SortedMedian(v)) << n << " values, code " << code;
    }
}

TEST(FindMedian, NineValueNetworkSortsEveryBinaryInput)
{
  // A comparator network that is right for all 0/1 inputs is right for all inputs.
  for (unsigned bits = 0; bits < 512; ++bits) {
    std::vector<uint8_t> v(9);
    for (unsigned i = 0; i < 9; ++i) v[i] = (bits >> i) & 1 ? 255 : 0;
    ASSERT_EQ(FindMedian(v.data(), 9), SortedMedian(v)) << bits;
  }
}

namespace {
// Runs the network on sets[i] (each of the network's count values) and returns the medians.
std::vector<uint8_t> RunNetwork(const cMedianNetwork& net, const std::vector<std::vector<uint8_t>>& sets)
{
  constexpr unsigned lanes = cMedianNetwork::BlockWidth;
  std::vector<uint8_t> block(size_t(net.GetCount()) * lanes, 0);
  for (size_t i = 0; i < sets.size(); ++i)
    for (unsigned k = 0; k < net.GetCount(); ++k) block[k * lanes + i] = sets[i][k];
  net.Apply(block.data());
  return {block.begin() + net.ResultRow() * lanes, block.begin() + net.ResultRow() * lanes + sets.size()};
}
}  // namespace

TEST(MedianNetwork, SelectsMedianOfEveryBinaryInputUpToSixteen)
{
  for (unsigned n = 1; n <= 16; ++n) {
    cMedianNetwork net(n);
    std::vector<std::vector<uint8_t>> sets;
    for (unsigned bits = 0; bits < (1u << n); ++bits) {
      std::vector<uint8_t> v;
      for (unsigned i = 0; i < n; ++i) v.push_back(uint8_t((bits >> i) & 1));
      sets.push_back(v);
      if (sets.size() == cMedianNetwork::BlockWidth || bits + 1 == (1u << n)) {
        const auto got = RunNetwork(net, sets);
        for (size_t i = 0; i < sets.size(); ++i) ASSERT_EQ(got[i], SortedMedian(sets[i])) << "count " << n;
        sets.clear();
      }
    }
  }
}

TEST(MedianNetwork, SelectsMedianOfRandomWindowSizedSets)
{
  std::mt19937 rng(11);
  for (unsigned n : {9u, 15u, 25u, 35u, 49u, 64u, 81u, 121u}) {
    cMedianNetwork net(n);
    for (int round = 0; round < 8; ++round) {
      std::vector<std::vector<uint8_t>> sets(cMedianNetwork::BlockWidth, std::vector<uint8_t>(n));
      for (auto& s : sets)
        for (auto& x : s) x = uint8_t(rng() % (round % 2 ? 256 : 3));
      const auto got = RunNetwork(net, sets);
      for (size_t i = 0; i < sets.size(); ++i) ASSERT_EQ(got[i], SortedMedian(sets[i])) << "count " << n;
    }
  }
}
