#pragma once
// Refreshes the Image info window when the current picture or its measures change.
#include "cFormObserver.h"

class cImageInfoToolFormObserver : public cFormObserver {
public:
  cImageInfoToolFormObserver();
};
