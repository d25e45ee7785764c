#include "cHistoryToolFormObserver.h"

#include "THistoryToolForm.h"
#include "kvDiagnostics.h"

KV_UNIT("kvObservers\\cHistoryToolFormObserver");

void cHistoryToolFormObserver::Update(sMessage& message)
{
  KV_ASSERT(message.Msg != VOID_MESSAGE, "Message.Msg != VOID_MESSAGE");
  if (!HistoryToolForm) return;
  switch (message.Msg) {
  case IMAGE_LOADED:
  case IMAGE_CLOSED:
  case HISTORY_CHANGED:
  case GLOBAL_PARAMETERS_CHANGED:
    HistoryToolForm->RefreshGrid();
    HistoryToolForm->SetupColumns();
    break;
  default:
    break;
  }
}
