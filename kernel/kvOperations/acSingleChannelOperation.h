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
  // The region clipped to the surface, so fast paths never index outside the rows.
  bool RegionInsideSurface() const;
};
