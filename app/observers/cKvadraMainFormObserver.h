#pragma once
// Turns kernel messages into main-window updates: status and progress, viewer sizes and
// repaints, enabled states and the menus of announced operations.
#include "cFormObserver.h"

class cKvadraMainFormObserver : public cFormObserver {
public:
  cKvadraMainFormObserver();
};
