#pragma once
// Message of the operation pool (1049).
namespace cOperationPoolMessenger {
void DirectOperationLoaded(unsigned uid);
}
