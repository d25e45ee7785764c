#pragma once
#include <cstdint>
#include <vector>

#include "acSingleChannelOperation.h"

// A filter that replaces each sample by a mean of its rectangular window. The window is
// gathered (horizontal offset outer, vertical inner) and handed to Mean.
class acMeanFilter : public acSingleChannelOperation {
public:
  void PreProcessing() override;
  void PostProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

  // Off: every window sample read through the border rule (the reference of the interior path).
  bool FastPath = true;

protected:
  // Declares "Window width" and "Window height"; swapped: width is the vertical extent.
  acMeanFilter(const char* name, bool swapped);
  // Declares "Recursive executing"; every filter declares it last.
  void AddRecursiveParam();
  virtual uint8_t Mean(const uint8_t* values, unsigned count) const = 0;

  uint8_t WindowWidth = 3;
  uint8_t WindowHeight = 3;

private:
  bool Swapped;
  bool Recursive = false;
  unsigned RecursiveIndex = 2;
  int LoX = 1, HiX = 1, LoY = 1, HiY = 1;
  std::vector<uint8_t> Window;
};
