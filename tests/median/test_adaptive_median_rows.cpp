// The adaptive median's vector 3 x 3 step against its scalar selection routine, which is not an
// exact median: every order of nine distinct values, every window of four levels (all the
// ways ties fall), and random windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <random>
#include <vector>

#include "AdaptiveMedianFilter.h"
#include "cAdaptiveMedianRows.h"

namespace {

// Windows as nine value columns, window j at index j of each.
struct sWindows {
  std::array<std::vector<uint8_t>, 9> Values;
  void Add(const uint8_t* w)
  {
    for (int k = 0; k < 9; ++k) Values[size_t(k)].push_back(w[k]);
  }
};

// Checks every window and returns how many the routine answered with other than the exact
// median (so the test also shows it is exercising the inexact cases).
size_t ExpectSameMiddles(const sWindows& windows)
{
  const int n = int(windows.Values[0].size());
  const uint8_t* values[9];
  for (int k = 0; k < 9; ++k) values[k] = windows.Values[size_t(k)].data();
  std::vector<uint8_t> middles(size_t(n) + 1, 0xA5);
  cAdaptiveMedianRows::MiddlesOfNine(values, middles.data(), n);
  EXPECT_EQ(middles[size_t(n)], 0xA5) << "wrote past the end";
  size_t inexact = 0;
  for (int j = 0; j < n; ++j) {
    uint8_t w[9];
    for (int k = 0; k < 9; ++k) w[k] = values[k][j];
    uint8_t sorted[9];
    std::copy(w, w + 9, sorted);
    std::sort(sorted, sorted + 9);
    const uint8_t expected = AdaptiveMedianFilter::SelectMiddle(w, 9);
    inexact += expected != sorted[4];
    if (middles[size_t(j)] != expected) {
      ADD_FAILURE() << "window " << j << ": " << int(middles[size_t(j)]) << " instead of " << int(expected);
      return inexact;
    }
  }
  return inexact;
}

}  // namespace

TEST(AdaptiveMedianRows, VectorSelectionReplaysTheRoutineOnEveryOrderOfNine)
{
  sWindows windows;
  uint8_t w[9];
  std::iota(w, w + 9, uint8_t(10));
  do windows.Add(w);
  while (std::next_permutation(w, w + 9));
  EXPECT_GT(ExpectSameMiddles(windows), 1000u);
}

TEST(AdaptiveMedianRows, VectorSelectionReplaysTheRoutineWithTies)
{
  sWindows windows;
  uint8_t w[9];
  for (unsigned code = 0; code < (1u << 18); ++code) {
    for (int k = 0; k < 9; ++k) w[k] = uint8_t(((code >> (2 * k)) & 3) * 85);  // 0, 85, 170, 255
    windows.Add(w);
  }
  std::mt19937 rng(5);
  for (int r = 0; r < 200000; ++r) {
    const unsigned range = 2 + rng() % 12;
    for (uint8_t& v : w) v = uint8_t(rng() % range * (r % 2 ? 1 : 255 / range));
    windows.Add(w);
  }
  EXPECT_GT(ExpectSameMiddles(windows), 1000u);
  // Lengths that are no multiple of the vector's width, down to one window.
  for (int n : {1, 31, 33, 70}) {
    sWindows some;
    for (int j = 0; j < n; ++j) {
      for (uint8_t& v : w) v = uint8_t(rng());
      some.Add(w);
    }
    ExpectSameMiddles(some);
  }
}
