#pragma once
// Operations that compute one output sample at a time: the pixel driver visits the region
// row by row, pixel by pixel, channel by channel and asks TransformPixel for each sample.
#include "acOperation.h"

class acSingleChannelOperation : public acOperation {
public:
  void OperationItself(const tTerminateFlag& terminated) override;
  virtual void PreProcessing() {}
  virtual void PostProcessing() {}
  virtual void TransformPixel(unsigned x, unsigned y) {}

protected:
  // The window a filter reads around (x, y): columns x + LowX .. x + HighX, rows
  // y + LowY .. y + HighY.
  struct sWindowExtent {
    int LowX = 0;
    int HighX = 0;
    int LowY = 0;
    int HighY = 0;
  };
  // A filter with a row fast path returns true and its window (asked after PreProcessing);
  // the driver then hands the samples whose window lies inside the picture to InteriorSpan,
  // one channel at a time, and keeps TransformPixel for the rest. Within a channel samples
  // are still visited row by row, left to right, so recursive runs see what the plain driver
  // would show them.
  virtual bool InteriorWindow(sWindowExtent& window) const { return false; }
  // Samples firstX..endX-1 of row y in one channel.
  virtual void InteriorSpan(int y, int channel, int firstX, int endX) {}

  // The region clipped to the surface, so fast paths never index outside the rows.
  bool RegionInsideSurface() const;
};
