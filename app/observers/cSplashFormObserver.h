#pragma once
// Shows each announced operation on the splash window while the packages load.
#include "kvMessages/iObserver.h"

class cSplashFormObserver : public iObserver {
public:
  void Update(sMessage& message) override;
};
