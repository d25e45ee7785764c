#pragma once
// Operation of the test packages: notes its own deletion in the shared log.
#include "PoolLog.h"
#include "kvOperations/acOperation.h"

class cLoggedOperation : public acOperation {
public:
  explicit cLoggedOperation(const char* name)
  {
    Name = name;
    GroupName = "Test group";
    OperationType = otNoise;
  }
  ~cLoggedOperation() override { PoolLogAppend("deleted " + Name); }
};
