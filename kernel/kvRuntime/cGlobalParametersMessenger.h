#pragma once
// Message of the global parameters (1045).
namespace cGlobalParametersMessenger {
void SendGlobalParametersChanged();
}
