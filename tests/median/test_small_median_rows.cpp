// The vector medians of 3 x 3 and 5 x 5 windows against sorting each window, over run lengths
// around the vector width (whole vectors, an overlapping last one, byte by byte) and values
// with many ties as well as spread ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "cSmallMedianRows.h"

TEST(SmallMedianRows, EveryWindowGivesTheMiddleOfItsSortedSamples)
{
  std::mt19937 rng(7);
  for (int size : {3, 5})
    for (int channels : {1, 3})
      for (int count : {1, 2, 5, 10, 11, 31, 32, 33, 64, 65, 100})
        for (unsigned range : {2u, 256u}) {
          const int half = size / 2, stride = (count + 2 * half) * channels;
          std::vector<std::vector<uint8_t>> lines(static_cast<size_t>(size),
                                                  std::vector<uint8_t>(static_cast<size_t>(stride)));
          for (auto& line : lines)
            for (auto& v : line) v = uint8_t(rng() % range * (255 / (range - 1)));
          std::vector<const uint8_t*> rows;
          for (auto& line : lines) rows.push_back(line.data() + half * channels);
          std::vector<uint8_t> out(size_t(count * channels));
          cSmallMedianRows::Row(rows.data(), size, channels, out.data(), count);
          for (int j = 0; j < count * channels; ++j) {
            std::vector<uint8_t> window;
            for (int k = 0; k < size; ++k)
              for (int dx = -half; dx <= half; ++dx) window.push_back(rows[size_t(k)][j + dx * channels]);
            std::sort(window.begin(), window.end());
            ASSERT_EQ(out[size_t(j)], window[window.size() / 2])
                << size << " x " << size << ", " << channels << " channel(s), " << count << " pixels, byte " << j;
          }
        }
}
