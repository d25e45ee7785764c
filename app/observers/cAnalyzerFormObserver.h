#pragma once
// Feeds the analyzer window: announced operations go to its selectors, and the experiment's
// series and points to its chart and table.
#include "cFormObserver.h"

class cAnalyzerFormObserver : public cFormObserver {
public:
  cAnalyzerFormObserver();
};
