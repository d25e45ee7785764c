// Test package: a shared library with an operation but no entry point.
#include "cLoggedOperation.h"

namespace {
cLoggedOperation Orphan("Test without entry");
}  // namespace

extern "C" int NotTheEntryPoint()
{
  return 1;
}
