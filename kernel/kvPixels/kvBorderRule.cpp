#include "kvPixels/kvBorderRule.h"

#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvKernel_bpl\\kvImages\\kvBorderRule");

void kvFoldOntoEmptyLine()
{
  const int n = 0;
  KV_ASSERT(n > 0, "n > 0");
  __builtin_unreachable();
}
