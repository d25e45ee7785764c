#pragma once
// "Median Filter": the median of a W x H window around every sample.
#include <cstdint>
#include <vector>

#include "acSingleChannelOperation.h"
#include "cMedianNetwork.h"

class FastMedianFilter : public acSingleChannelOperation {
public:
  FastMedianFilter();
  void PreProcessing() override;
  void TransformPixel(unsigned x, unsigned y) override;

protected:
  bool InteriorWindow(sWindowExtent& window) const override;
  // Interior samples of one row and channel whose whole window lies inside the picture.
  void InteriorSpan(int y, int channel, int firstX, int endX) override;

private:
  void InteriorSpanByNetwork(int y, int channel, int firstX, int endX);

  uint8_t WidthSize = 3;
  uint8_t HeightSize = 3;
  bool Recursive = false;
  // Per-run buffers, sized in PreProcessing.
  std::vector<uint8_t> Window;
  std::vector<const uint8_t*> WindowRows;
  std::vector<uint8_t> Block;
  cMedianNetwork Network;
};
