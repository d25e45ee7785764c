#include "SD_ROM2Filter.h"

#include <algorithm>

#include "kvRuntime/kvDiagnostics.h"
#include "kvRuntime/kvVectorClones.h"

KV_UNIT("pkLateral\\SD_ROM2Filter");

SD_ROM2Filter::SD_ROM2Filter()
{
  Describe("SD-ROM", "Misc Filters", otFilter, fmParamDialog);
  ThresholdParams[0] = Params->AddInteger("T1", 0, 100, 8);
  ThresholdParams[1] = Params->AddInteger("T2", 0, 100, 20);
  ThresholdParams[2] = Params->AddInteger("T3", 0, 100, 40);
  ThresholdParams[3] = Params->AddInteger("T4", 0, 100, 50);
  RecursiveParam = Params->AddBoolean("Recursive executing", false);
}

void SD_ROM2Filter::PreProcessing()
{
  for (unsigned i = 0; i < 4; ++i) Threshold[i] = float((*Params)[ThresholdParams[i]].GetInteger());
  Recursive = (*Params)[RecursiveParam].GetBoolean();
}

uint8_t SD_ROM2Filter::Decide(int* r, int c) const
{
  std::sort(r, r + 8);
  const int rom = (r[3] + r[4]) / 2;
  for (int i = 0; i < 4; ++i) {
    const int d = c <= rom ? r[i] - c : c - r[7 - i];
    if (float(d) > Threshold[i]) return uint8_t(rom);
  }
  return uint8_t(c);
}

void SD_ROM2Filter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = Recursive ? *ResultSurface : *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
  int r[8];
  int n = 0;
  for (int j = -1; j <= 1; ++j)
    for (int i = -1; i <= 1; ++i)
      if (i != 0 || j != 0) r[n++] = in.GetPixel(x + i, y + j);
  ResultSurface->SetPixel(x, y, Decide(r, in.GetPixel(x, y)));
}

acSingleChannelOperation::sRowForm SD_ROM2Filter::RowForm() const
{
  return {true, sWindowExtent::OfRadius(1), true, Recursive};
}

namespace {
inline void Order(uint8_t& a, uint8_t& b)
{
  const uint8_t lo = std::min(a, b);
  b = std::max(a, b);
  a = lo;
}

// a - b where positive, else 0: a negative difference passes no threshold (all are >= 0).
inline uint8_t Above(uint8_t a, uint8_t b)
{
  return uint8_t(std::max(a, b) - b);
}

// Decide without a branch per sample, in bytes: the neighbours sorted by a network, and the
// first threshold passed found by or-ing all four tests (any of them passing gives the ROM).
KV_VECTOR_CLONES void DecideRow(const uint8_t* up, const uint8_t* mid, const uint8_t* down, int channels, int samples,
                                const int* threshold, uint8_t* out)
{
  const uint8_t t0 = uint8_t(threshold[0]), t1 = uint8_t(threshold[1]), t2 = uint8_t(threshold[2]),
                t3 = uint8_t(threshold[3]);
  const uint8_t *upLeft = up - channels, *upRight = up + channels, *left = mid - channels, *right = mid + channels,
                *downLeft = down - channels, *downRight = down + channels;
  for (int j = 0; j < samples; ++j) {
    uint8_t r0 = upLeft[j], r1 = up[j], r2 = upRight[j], r3 = left[j];
    uint8_t r4 = right[j], r5 = downLeft[j], r6 = down[j], r7 = downRight[j];
    Order(r0, r2), Order(r1, r3), Order(r4, r6), Order(r5, r7);
    Order(r0, r4), Order(r1, r5), Order(r2, r6), Order(r3, r7);
    Order(r0, r1), Order(r2, r3), Order(r4, r5), Order(r6, r7);
    Order(r2, r4), Order(r3, r5);
    Order(r1, r4), Order(r3, r6);
    Order(r1, r2), Order(r3, r4), Order(r5, r6);
    const uint8_t c = mid[j];
    // (r3 + r4) div 2 as the rounded-up average less the odd half (the byte average the
    // vector units have).
    const uint8_t rom = uint8_t(uint8_t((unsigned(r3) + r4 + 1) >> 1) - ((r3 ^ r4) & 1));
    const uint8_t low = c <= rom;
    const uint8_t below =
        uint8_t((Above(r0, c) > t0) | (Above(r1, c) > t1) | (Above(r2, c) > t2) | (Above(r3, c) > t3));
    const uint8_t over = uint8_t((Above(c, r7) > t0) | (Above(c, r6) > t1) | (Above(c, r5) > t2) | (Above(c, r4) > t3));
    const uint8_t replace = uint8_t((low & below) | (uint8_t(1 - low) & over));
    out[j] = uint8_t(replace ? rom : c);
  }
}
}  // namespace

// The thresholds are whole numbers, so comparing the integer differences with them is the
// reference's comparison in float.
void SD_ROM2Filter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int threshold[4] = {int(Threshold[0]), int(Threshold[1]), int(Threshold[2]), int(Threshold[3])};
  DecideRow(in.Rows[0], in.Rows[1], in.Rows[2], in.Channels, count * in.Channels, threshold, out);
}
