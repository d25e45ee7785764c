#include "kvOperations/cOperationPoolMessenger.h"

#include "kvMessages/cMessenger.h"
#include "kvMessages/kvMessages.h"

namespace cOperationPoolMessenger {
void DirectOperationLoaded(unsigned uid)
{
  cMessenger::Direct(OPERATION_LOADED, 0, int32_t(uid));
}
}  // namespace cOperationPoolMessenger
