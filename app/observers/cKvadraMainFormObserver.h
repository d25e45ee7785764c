#pragma once
// Turns kernel messages into main-window updates: status and progress, viewer sizes and
// repaints, enabled states and the menus of announced operations.
#include "kvMessages/iObserver.h"

class cKvadraMainFormObserver : public iObserver {
public:
  void Update(sMessage& message) override;
};
