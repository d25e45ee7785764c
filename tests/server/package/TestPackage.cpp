// A package of test operations, loaded from its own folder (never from plug-ins/).
#include "TestOperations.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<SlowOperation, FailingOperation, ShiftOperation, CopyOperation, FailAboveOperation,
                   InterruptOperation, GiveUpOperation>
    Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
