// Test package: appends one operation.
#include "cLoggedOperation.h"
#include "kvOperations/cOperationPool.h"

namespace {
cLoggedOperation C("Test C");
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&C);
}
