// A package of test operations, loaded from its own folder (never from plug-ins/).
#include "TestOperations.h"
#include "kvOperations/cOperationPool.h"

namespace {
struct sPackage {
  SlowOperation Slow;
  FailingOperation Failing;
  ShiftOperation Shift;
  CopyOperation Copy;
  FailAboveOperation FailAbove;
  InterruptOperation Interrupt;
  GiveUpOperation GiveUp;
};
sPackage Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&Package.Slow);
  list.push_back(&Package.Failing);
  list.push_back(&Package.Shift);
  list.push_back(&Package.Copy);
  list.push_back(&Package.FailAbove);
  list.push_back(&Package.Interrupt);
  list.push_back(&Package.GiveUp);
}
