#pragma once
#include "acGeometricTransform.h"

// A quarter turn into an H x W result: a source row becomes a result column.
class acQuarterTurn : public acGeometricTransform {
public:
  // Gives the result the turned size (source height x source width).
  void PreProcessing() override;

protected:
  using acGeometricTransform::acGeometricTransform;

  int SourceWidth = 0;
  int SourceHeight = 0;
};
