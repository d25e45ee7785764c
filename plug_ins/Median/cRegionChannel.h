#pragma once
// The working region of a whole-region filter as a flat row-major byte array of one channel
// (position = row * width + column), with the copies in and out of a surface.
#include <cstdint>
#include <vector>

#include "kvOperations/acOperation.h"

class cRegionChannel {
public:
  // The operation's region (FirstColumn..EndColumn, FirstRow..EndRow), clipped to the surface.
  cRegionChannel(const acOperation& operation, const cBMPSurface& surface);

  int GetWidth() const { return Width; }
  int GetHeight() const { return Height; }
  size_t GetSize() const { return size_t(Width) * size_t(Height); }

  // Copies the region of the surface's channel into values, row by row; false when stopped.
  bool CopyIn(const cBMPSurface& surface, int channel, std::vector<uint8_t>& values,
              const tTerminateFlag& terminated) const;
  // Copies values back into the region of the surface's channel; false when stopped.
  bool CopyOut(cBMPSurface& surface, int channel, const std::vector<uint8_t>& values,
               const tTerminateFlag& terminated) const;

  // Mirrors an index into 0..count-1 without repeating the edge (-1 -> 0, count -> count-1),
  // as often as needed for windows larger than the region.
  static int Mirror(int index, int count);

private:
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
};
