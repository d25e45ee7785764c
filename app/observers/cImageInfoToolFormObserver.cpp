#include "cImageInfoToolFormObserver.h"

#include "TImageInfoToolForm.h"
#include "kvDiagnostics.h"

KV_UNIT("kvObservers\\cImageInfoToolFormObserver");

void cImageInfoToolFormObserver::Update(sMessage& message)
{
  KV_ASSERT(message.Msg != VOID_MESSAGE, "Message.Msg != VOID_MESSAGE");
  if (!ImageInfoToolForm) return;
  switch (message.Msg) {
  case IMAGE_CLOSED:
  case FILTRATION_FINISHED:
  case HISTORY_CHANGED:
  case CURRENT_IMAGE_CHANGED:
    ImageInfoToolForm->UpdateInfo();
    break;
  default:
    break;
  }
}
