#pragma once
// Keeps the operation dialog's preview in step with the picture: its plane size follows the
// current picture, and a finished run repaints it.
#include "cFormObserver.h"

class cAutoOperationFormObserver : public cFormObserver {
public:
  cAutoOperationFormObserver();
};
