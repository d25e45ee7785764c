#pragma once
#include "acOperation.h"

// "Tamsel Filter" (placeholder until the filter is built).
class AdaptiveMeanFilter : public acOperation {
public:
  AdaptiveMeanFilter();
};
