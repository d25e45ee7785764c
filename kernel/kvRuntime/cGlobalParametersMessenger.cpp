#include "kvRuntime/cGlobalParametersMessenger.h"

#include "kvMessages/cMessenger.h"
#include "kvMessages/kvMessages.h"

namespace cGlobalParametersMessenger {
void SendGlobalParametersChanged()
{
  cMessenger::Send(GLOBAL_PARAMETERS_CHANGED);
}
}  // namespace cGlobalParametersMessenger
