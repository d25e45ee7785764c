#include "LaplasianFilter.h"

#include <cstdlib>

LaplasianFilter::LaplasianFilter()
{
  Name = "Laplasian Filter";
  GroupName = "Mathematics";
  OperationType = otFilter;
  FormMode = 0;
  TotalVariation = false;
}

void LaplasianFilter::TransformPixel(unsigned ux, unsigned uy)
{
  const cBMPSurface& in = *SourceSurface;
  const int x = int(ux);
  const int y = int(uy);
  int g, gx1, gx2, gy1, gy2;
  if (FastPath && x >= 2 && y >= 2 && x < in.GetWidth() && y < in.GetHeight()) {
    const int channels = in.GetChannelsCount();
    const int c = channels == 1 ? 0 : in.CurrentChannel;
    const uint8_t* row = in.Row(y) + c;
    g = row[x * channels];
    gx1 = row[(x - 1) * channels];
    gx2 = row[(x - 2) * channels];
    gy1 = in.Row(y - 1)[x * channels + c];
    gy2 = in.Row(y - 2)[x * channels + c];
  } else {
    g = in.GetPixel(x, y);
    gx1 = in.GetPixel(x - 1, y);
    gx2 = in.GetPixel(x - 2, y);
    gy1 = in.GetPixel(x, y - 1);
    gy2 = in.GetPixel(x, y - 2);
  }
  const int L = std::abs(2 * g - 2 * gx1 + gx2 - 2 * gy1 + gy2);
  ResultSurface->SetPixel(x, y, L > 255 ? uint8_t(255) : uint8_t(L));
}
