#include "LaplasianFilter.h"

#include <algorithm>
#include <cstdlib>

LaplasianFilter::LaplasianFilter()
{
  Describe("Laplasian Filter", "Mathematics", otFilter, fmNoDialog);
}

void LaplasianFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
  const int g = in.GetPixel(x, y);
  const int gx1 = in.GetPixel(x - 1, y);
  const int gx2 = in.GetPixel(x - 2, y);
  const int gy1 = in.GetPixel(x, y - 1);
  const int gy2 = in.GetPixel(x, y - 2);
  const int laplacian = std::abs(2 * g - 2 * gx1 + gx2 - 2 * gy1 + gy2);
  ResultSurface->SetPixel(x, y, laplacian > 255 ? uint8_t(255) : uint8_t(laplacian));
}

acSingleChannelOperation::sRowForm LaplasianFilter::RowForm() const
{
  // Two samples back in x and in y.
  return {true, {2, 0, 2, 0}, true, false};
}

void LaplasianFilter::TransformRow(const sWindowRows& in, uint8_t* out, int count)
{
  const int channels = in.Channels;
  const uint8_t* up2 = in.Rows[0];
  const uint8_t* up1 = in.Rows[1];
  const uint8_t* row = in.Rows[2];
  const int n = count * channels;
  for (int j = 0; j < n; ++j) {
    const int laplacian = std::abs(2 * row[j] - 2 * row[j - channels] + row[j - 2 * channels] - 2 * up1[j] + up2[j]);
    out[j] = uint8_t(std::min(laplacian, 255));
  }
}
