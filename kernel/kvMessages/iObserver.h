#pragma once
#include "kvMessages/kvMessages.h"

// Receives every forwarded kernel message; never consumes it.
class iObserver {
public:
  virtual ~iObserver() = default;
  virtual void Update(sMessage& message) = 0;
};
