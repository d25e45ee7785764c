#include "cCoarseBlocks.h"

#include <algorithm>
#include <cmath>

#include "kvDiagnostics.h"

KV_UNIT("060pkNonLocal\\cCoarseBlocks");

cCoarseBlocks::cCoarseBlocks(const cBlockDCT& dct, float threshold) : DCT(dct), Threshold(threshold) {}

void cCoarseBlocks::Cover(const float* plane, int rowStride, int x0, int y0, int x1, int y1)
{
  KV_ASSERT(x0 < x1 && y0 < y1, "a rectangle of positions");
  const int n = DCT.Size(), nn = n * n, across = x1 - x0;
  X0 = x0;
  Y0 = y0;
  Table.resize(size_t(across) * size_t(y1 - y0) * size_t(nn));
  // Position (x, y) holds its block's coefficients as N lines of N, so the matcher reads them
  // as it reads a picture's block.
  Source.Base = Table.data();
  Source.ColumnStep = nn;
  Source.RowStep = ptrdiff_t(across) * nn;
  Source.LineStep = n;
  Source.Positions[0] = across;
  Source.Positions[1] = y1 - y0;
  float* out = Table.data();
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x, out += nn) {
      DCT.Forward(plane + ptrdiff_t(y) * rowStride + x, rowStride, out);
      for (int i = 1; i < nn; ++i) out[i] = std::fabs(out[i]) > Threshold ? out[i] : 0.0f;
    }
}

int cCoarseBlocks::Find(const cBlockMatcher& matcher, int radius, const int positions[2], int x, int y,
                        std::vector<sMatch>& matches) const
{
  KV_ASSERT(std::max(0, x - radius) >= X0 && std::min(positions[0] - 1, x + radius) < X0 + Source.Positions[0] &&
                std::max(0, y - radius) >= Y0 && std::min(positions[1] - 1, y + radius) < Y0 + Source.Positions[1],
            "the search window is covered");
  const int count = matcher.Find(Source, x - X0, y - Y0, matches);
  for (sMatch& m : matches) {
    m.X += X0;
    m.Y += Y0;
  }
  return count;
}
