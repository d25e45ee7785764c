#include "cRegionChannel.h"

#include <algorithm>

cRegionChannel::cRegionChannel(const acOperation& operation, const cBMPSurface& surface)
{
  Left = int(std::min(operation.FirstColumn, unsigned(surface.GetWidth())));
  Top = int(std::min(operation.FirstRow, unsigned(surface.GetHeight())));
  const int right = int(std::min(operation.EndColumn, unsigned(surface.GetWidth())));
  const int bottom = int(std::min(operation.EndRow, unsigned(surface.GetHeight())));
  Width = std::max(0, right - Left);
  Height = std::max(0, bottom - Top);
}

bool cRegionChannel::CopyIn(const cBMPSurface& surface, int channel, std::vector<uint8_t>& values,
                            const tTerminateFlag& terminated) const
{
  values.resize(GetSize());
  const int channels = surface.GetChannelsCount();
  for (int r = 0; r < Height; ++r) {
    if (terminated.load(std::memory_order_relaxed)) return false;
    const uint8_t* in = surface.Row(Top + r) + Left * channels + channel;
    uint8_t* out = values.data() + size_t(r) * Width;
    for (int col = 0; col < Width; ++col) out[col] = in[col * channels];
  }
  return true;
}

bool cRegionChannel::CopyOut(cBMPSurface& surface, int channel, const std::vector<uint8_t>& values,
                             const tTerminateFlag& terminated) const
{
  const int channels = surface.GetChannelsCount();
  for (int r = 0; r < Height; ++r) {
    if (terminated.load(std::memory_order_relaxed)) return false;
    uint8_t* out = surface.Row(Top + r) + Left * channels + channel;
    const uint8_t* in = values.data() + size_t(r) * Width;
    for (int col = 0; col < Width; ++col) out[col * channels] = in[col];
  }
  return true;
}

int cRegionChannel::Mirror(int index, int count)
{
  if (index >= 0 && index < count) return index;
  const int period = 2 * count;
  index %= period;
  if (index < 0) index += period;
  return index < count ? index : period - 1 - index;
}
