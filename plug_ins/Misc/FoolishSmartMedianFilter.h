#pragma once
#include "acSingleChannelOperation.h"

// "Foolish detector-Smart filter" (placeholder until the filter is built).
class FoolishSmartMedianFilter : public acSingleChannelOperation {
public:
  FoolishSmartMedianFilter();
};
