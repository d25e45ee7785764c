#include "cKvadraMainFormObserver.h"

#include <QProgressBar>

#include "TKvadraMainForm.h"
#include "cKvadraSystem.h"
#include "kvDiagnostics.h"

KV_UNIT("kvObservers\\cKvadraMainFormObserver");

void cKvadraMainFormObserver::Update(sMessage& message)
{
  KV_ASSERT(message.Msg != VOID_MESSAGE, "Message.Msg != VOID_MESSAGE");
  TKvadraMainForm* form = KvadraMainForm;
  if (!form) return;
  switch (message.Msg) {
  case IMAGE_LOADED:
    form->SetStatusText("Image loaded.");
    [[fallthrough]];
  case ORIGIN_REPLACED: {
    int width = 0, height = 0, channels = 0;
    KvadraSystem->GetImageSizes(width, height, channels);
    form->SetPlaneSizes(width, height);
    break;
  }
  case IMAGE_CLOSED:
    form->SetPlaneSizes(0, 0);
    form->SetStatusText("Image closed.");
    form->UpdateActions();
    break;
  case FILTRATION_TERMINATED:
    form->ProgressBar->setValue(0);
    form->SetStatusText("Operation terminated.");
    break;
  case FILTRATION_FINISHED:
    form->ProgressBar->setValue(0);
    form->SetStatusText(message.WParam == 1 ? "Done. Result was saved to history."
                                            : "Done. Result was not saved to history.");
    break;
  case FILTRATION_STARTED:
    form->SetStatusText("ERROR! If you see this, something is wrong! Filtration is too slow.");
    break;
  case HISTORY_CHANGED:
    form->UpdateActions();
    break;
  case FILTRATION_PROGRESS:
    form->SetStatusText("Progress..." + QString::number(message.WParam) + "%");
    form->ProgressBar->setValue(message.WParam);
    break;
  case CURRENT_IMAGE_CHANGED:
    form->RepaintViewers();
    break;
  case OPERATION_LOADED:
    form->AddOperationItem(unsigned(message.LParam));
    break;
  default:
    break;
  }
}
