#include "cKvadraMainFormObserver.h"

#include <QProgressBar>

#include "TKvadraMainForm.h"
#include "kvFacade/cKvadraSystem.h"

cKvadraMainFormObserver::cKvadraMainFormObserver() : cFormObserver([] { return KvadraMainForm != nullptr; })
{
  const auto showSizes = [] {
    int width = 0, height = 0, channels = 0;
    KvadraSystem->GetImageSizes(width, height, channels);
    KvadraMainForm->SetPlaneSizes(width, height);
  };
  On({IMAGE_LOADED}, [showSizes](const sMessage&) {
    KvadraMainForm->SetStatusText("Image loaded.");
    showSizes();
  });
  On({ORIGIN_REPLACED}, [showSizes](const sMessage&) { showSizes(); });
  On({IMAGE_CLOSED}, [](const sMessage&) {
    KvadraMainForm->SetPlaneSizes(0, 0);
    KvadraMainForm->SetStatusText("Image closed.");
    KvadraMainForm->UpdateActions();
  });
  On({FILTRATION_TERMINATED}, [](const sMessage&) {
    KvadraMainForm->ProgressBar->setValue(0);
    KvadraMainForm->SetStatusText("Operation terminated.");
  });
  On({FILTRATION_FINISHED}, [](const sMessage& m) {
    KvadraMainForm->ProgressBar->setValue(0);
    KvadraMainForm->SetStatusText(m.WParam == 1 ? "Done. Result was saved to history."
                                                : "Done. Result was not saved to history.");
  });
  On({FILTRATION_STARTED}, [](const sMessage&) {
    KvadraMainForm->SetStatusText("ERROR! If you see this, something is wrong! Filtration is too slow.");
  });
  // An experiment makes each picture it stores current: the viewers follow the history.
  On({HISTORY_CHANGED}, [](const sMessage&) {
    KvadraMainForm->UpdateActions();
    KvadraMainForm->RepaintViewers();
  });
  On({FILTRATION_PROGRESS}, [](const sMessage& m) {
    KvadraMainForm->SetStatusText("Progress..." + QString::number(m.WParam) + "%");
    KvadraMainForm->ProgressBar->setValue(m.WParam);
  });
  On({CURRENT_IMAGE_CHANGED}, [](const sMessage&) { KvadraMainForm->RepaintViewers(); });
  On({OPERATION_LOADED}, [](const sMessage& m) { KvadraMainForm->AddOperationItem(unsigned(m.LParam)); });
}
