#pragma once
// Refills the History grid when the history or the visible measures change.
#include "cFormObserver.h"

class cHistoryToolFormObserver : public cFormObserver {
public:
  cHistoryToolFormObserver();
};
