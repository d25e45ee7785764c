#pragma once
#include "acSingleChannelOperation.h"

// "Truncated Mean" (placeholder until the filter is built).
class TruncatedMeanFilter : public acSingleChannelOperation {
public:
  TruncatedMeanFilter();
};
