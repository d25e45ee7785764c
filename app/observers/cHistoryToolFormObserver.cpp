#include "cHistoryToolFormObserver.h"

#include <QTableWidget>

#include "THistoryToolForm.h"

cHistoryToolFormObserver::cHistoryToolFormObserver() : cFormObserver([] { return HistoryToolForm != nullptr; })
{
  On({IMAGE_LOADED, IMAGE_CLOSED, HISTORY_CHANGED, GLOBAL_PARAMETERS_CHANGED}, [](const sMessage&) {
    HistoryToolForm->RefreshGrid();
    HistoryToolForm->SetupColumns();
  });
  // The green row marks the current picture, which may change without a history change.
  On({CURRENT_IMAGE_CHANGED}, [](const sMessage&) { HistoryToolForm->ShowCurrentRow(); });
}
