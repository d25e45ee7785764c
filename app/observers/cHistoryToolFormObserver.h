#pragma once
// Refills the History grid when the history or the visible measures change.
#include "kvMessages/iObserver.h"

class cHistoryToolFormObserver : public iObserver {
public:
  void Update(sMessage& message) override;
};
