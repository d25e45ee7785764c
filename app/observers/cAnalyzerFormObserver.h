#pragma once
// Feeds the analyzer window: announced operations go to its selectors, and the experiment's
// series and points to its chart and table.
#include "kvMessages/iObserver.h"

class cAnalyzerFormObserver : public iObserver {
public:
  void Update(sMessage& message) override;
};
