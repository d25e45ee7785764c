#pragma once
#include <cstdint>

#include "acOperation.h"

// "Max-Min Filter": a maximum pass then a minimum pass ("Max-min", a grey closing that
// removes pepper) or the reverse ("Min-max", an opening that removes salt), through a
// temporary surface. "Window width" is the horizontal extent, "Window height" the vertical.
class MaxMinFilter : public acOperation {
public:
  MaxMinFilter();
  void OperationItself(const tTerminateFlag& terminated) override;

  // Off: every window sample read through the border rule (the reference of the interior path).
  bool FastPath = true;

private:
  struct sRegion {
    int FirstRow, EndRow, FirstColumn, EndColumn;
  };
  // One pass from input into output; false when it was stopped.
  bool Pass(cBMPSurface& input, cBMPSurface& output, bool maximum, const sRegion& region, unsigned progressBase,
            unsigned progressSpan, const tTerminateFlag& terminated);
  uint8_t Extremum(const cBMPSurface& in, int x, int y, bool maximum) const;

  uint8_t WindowWidth = 3;
  uint8_t WindowHeight = 3;
  bool Recursive = false;
  int Sequence = 0;
  // Extents, recomputed at the start of every run.
  int WidthLower = 1, WidthUpper = 1, HeightLower = 1, HeightUpper = 1;
};
