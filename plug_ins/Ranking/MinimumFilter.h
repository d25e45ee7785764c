#pragma once
#include "acExtremumFilter.h"

// "Minimum Filter": grey erosion, removes salt.
class MinimumFilter : public acExtremumFilter {
public:
  MinimumFilter() : acExtremumFilter("Minimum Filter", false) {}
};
