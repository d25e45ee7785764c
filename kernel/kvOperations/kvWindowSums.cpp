#include "kvOperations/kvWindowSums.h"

#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvKernel_bpl\\kvOperations\\kvWindowSums");

void kvWindowTooLargeForSums()
{
  KV_ASSERT(false, "window of at most 33025 samples");
  __builtin_unreachable();
}
