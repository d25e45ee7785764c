// Test package: appends two operations, A then B.
#include "cLoggedOperation.h"
#include "kvOperations/cOperationPool.h"

namespace {
cLoggedOperation A("Test A");
cLoggedOperation B("Test B");
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&A);
  list.push_back(&B);
}
