#include "cGlobalParametersMessenger.h"

#include "cMessenger.h"
#include "kvMessages.h"

namespace cGlobalParametersMessenger {
void SendGlobalParametersChanged() { cMessenger::Send(GLOBAL_PARAMETERS_CHANGED); }
}  // namespace cGlobalParametersMessenger
