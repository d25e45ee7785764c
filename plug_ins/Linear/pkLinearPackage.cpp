// Package 020pkLinear: the Wiener filter; one instance, created at load and deleted at unload.
#include "WienerFilter.h"
#include "kvOperations/cOperationPool.h"

namespace {
WienerFilter Wiener;
}

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&Wiener);
}
