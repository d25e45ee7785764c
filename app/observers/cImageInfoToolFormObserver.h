#pragma once
// Refreshes the Image info window when the current picture or its measures change.
#include "kvMessages/iObserver.h"

class cImageInfoToolFormObserver : public iObserver {
public:
  void Update(sMessage& message) override;
};
