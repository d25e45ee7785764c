#include "kvProcessing/cKvadraServerMessenger.h"

#include "kvMessages/cMessenger.h"
#include "kvMessages/kvMessages.h"
#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvKernel_bpl\\kvProcessing\\cKvadraServerMessenger");

namespace cKvadraServerMessenger {
void PostImageLoaded()
{
  cMessenger::Post(IMAGE_LOADED);
}
void SendImageClosed()
{
  cMessenger::Send(IMAGE_CLOSED);
}
void SendFiltrationTerminated()
{
  cMessenger::Send(FILTRATION_TERMINATED);
}
void SendFiltrationFinished(bool saved)
{
  cMessenger::Send(FILTRATION_FINISHED, saved ? 1 : 0);
}
void DirectFiltrationStarted()
{
  cMessenger::Direct(FILTRATION_STARTED);
}
void SendHistoryChanged()
{
  cMessenger::Send(HISTORY_CHANGED);
}
void PostHistoryChanged()
{
  cMessenger::Post(HISTORY_CHANGED);
}
void DirectFiltrationProgress(unsigned Progress)
{
  KV_ASSERT(Progress <= 100, "Progress<=100");
  cMessenger::Direct(FILTRATION_PROGRESS, int32_t(Progress));
}
void SendCurrentImageChanged()
{
  cMessenger::Send(CURRENT_IMAGE_CHANGED);
}
void SendOriginReplaced()
{
  cMessenger::Send(ORIGIN_REPLACED);
}
}  // namespace cKvadraServerMessenger
