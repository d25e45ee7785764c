// Test package: its entry point appends an operation, then fails.
#include <stdexcept>

#include "cLoggedOperation.h"
#include "kvOperations/cOperationPool.h"

namespace {
cLoggedOperation Broken("Test throwing");
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&Broken);
  throw std::runtime_error("broken package");
}
