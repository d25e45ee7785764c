#pragma once
// Block matching: the blocks of a search window nearest to a reference block, by the sum of
// squared differences. Blocks are read from a source that lays out N lines of N floats per
// block position, either a picture plane (positions one sample apart) or precomputed
// coefficient blocks (positions N * N floats apart).
#include <cstddef>
#include <vector>

struct sBlockSource {
  const float* Base = nullptr;
  ptrdiff_t ColumnStep = 1;   // between horizontally adjacent block positions
  ptrdiff_t RowStep = 0;      // between vertically adjacent block positions
  ptrdiff_t LineStep = 0;     // between the lines of one block
  int Positions[2] = {0, 0};  // block positions across and down

  const float* Block(int x, int y) const { return Base + y * RowStep + x * ColumnStep; }
};

struct sMatch {
  float Distance = 0;
  int X = 0;
  int Y = 0;
};

class cBlockMatcher {
public:
  // threshold: the largest sum of squared differences over the block that still matches.
  cBlockMatcher(int blockSize, int searchRadius, int maxCount, float threshold);

  // The matches of the block at (x, y) within the window of searchRadius around it, clipped to
  // the source: at most maxCount, nearest first (ties by row, then column, so the result does
  // not depend on the scan order), trimmed to a power of two; the reference block is always
  // among them, first. Returns their count.
  int Find(const sBlockSource& source, int x, int y, std::vector<sMatch>& matches) const;

  // Find for every reference block of row y at the columns xs (ascending), on a picture plane
  // (ColumnStep 1, RowStep = LineStep): the same matches, found a row of blocks at a time with
  // one pass of column sums per offset instead of one block comparison per candidate.
  struct sRowScratch {
    std::vector<float> Distances;
    std::vector<float> Columns;
  };
  void FindRow(const sBlockSource& plane, int y, const std::vector<int>& xs, std::vector<std::vector<sMatch>>& matches,
               sRowScratch& scratch) const;

  // The sum of squared differences of two blocks.
  static float Distance(const float* a, const float* b, ptrdiff_t lineStep, int n);

private:
  int N;
  int Radius;
  int MaxCount;
  float Threshold;
};
