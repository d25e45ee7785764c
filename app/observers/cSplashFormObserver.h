#pragma once
// Shows each announced operation on the splash window while the packages load.
#include "cFormObserver.h"

class cSplashFormObserver : public cFormObserver {
public:
  cSplashFormObserver();
};
