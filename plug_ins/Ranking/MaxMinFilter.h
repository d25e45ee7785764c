#pragma once
#include "acExtremumFilter.h"

// "Max-Min Filter": a maximum pass then a minimum pass ("Max-min", a grey closing that
// removes pepper) or the reverse ("Min-max", an opening that removes salt), through a
// temporary surface. "Window width" is the horizontal extent, "Window height" the vertical.
class MaxMinFilter : public acExtremumFilter {
public:
  MaxMinFilter();
  void OperationItself(const tTerminateFlag& terminated) override;

private:
  sParamHandle SequenceParam;
};
