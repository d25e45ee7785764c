#pragma once
#include "acExtremumFilter.h"

// "Maximum Filter": grey dilation, removes pepper.
class MaximumFilter : public acExtremumFilter {
public:
  MaximumFilter() : acExtremumFilter("Maximum Filter", true) {}
};
