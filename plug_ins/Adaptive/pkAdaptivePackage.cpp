// Package 990pkAdaptive: the Lee filter; one instance, created at load and deleted at unload.
#include "LeeFilter.h"
#include "kvOperations/cOperationPool.h"

namespace {
LeeFilter Lee;
}

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&Lee);
}
