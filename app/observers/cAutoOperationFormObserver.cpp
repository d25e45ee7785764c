#include "cAutoOperationFormObserver.h"

#include "TAutoOperationForm.h"
#include "cKvadraSystem.h"
#include "kvDiagnostics.h"

KV_UNIT("kvObservers\\cAutoOperationFormObserver");

void cAutoOperationFormObserver::Update(sMessage& message)
{
  KV_ASSERT(message.Msg != VOID_MESSAGE, "Message.Msg != VOID_MESSAGE");
  TAutoOperationForm* form = AutoOperationForm;
  if (!form) return;
  switch (message.Msg) {
  case IMAGE_LOADED:
  case ORIGIN_REPLACED: {
    int width = 0, height = 0, channels = 0;
    KvadraSystem->GetImageSizes(width, height, channels);
    form->SetPreviewPlaneSize(width, height);
    break;
  }
  case IMAGE_CLOSED:
    form->SetPreviewPlaneSize(0, 0);
    break;
  case FILTRATION_FINISHED:
    form->RepaintPreview();
    break;
  default:
    break;
  }
}
