#pragma once
// The plain median filter written independently of the filters: a full sort of every window.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "KvTestSupport.h"

namespace kvtest {

inline uint8_t SortedMedian(std::vector<uint8_t> v)
{
  std::sort(v.begin(), v.end());
  return v[(v.size() - 1) / 2];
}

// First and last window offset for size w: odd sizes centred, even sizes one further right.
inline int Low(int w)
{
  return w % 2 ? -(w - 1) / 2 : -(w / 2 - 1);
}
inline int High(int w)
{
  return w % 2 ? (w - 1) / 2 : w / 2;
}

// Plain median filter over the whole picture in the driver's order (rows, columns, channels),
// reading the result itself when recursive.
inline void ReferenceMedian(cBMPSurface& source, cBMPSurface& out, int w, int h, bool recursive)
{
  out.MakeCopyFrom(source);
  const int lowX = Low(w), highX = High(w), lowY = Low(h), highY = High(h);
  cBMPSurface& from = recursive ? out : source;
  for (int y = 0; y < source.GetHeight(); ++y)
    for (int x = 0; x < source.GetWidth(); ++x)
      for (int c = 0; c < source.GetChannelsCount(); ++c) {
        from.CurrentChannel = c;
        out.CurrentChannel = c;
        std::vector<uint8_t> v;
        for (int dy = lowY; dy <= highY; ++dy)
          for (int dx = lowX; dx <= highX; ++dx) v.push_back(from.GetPixel(x + dx, y + dy));
        out.SetPixel(x, y, SortedMedian(v));
      }
}

}  // namespace kvtest
