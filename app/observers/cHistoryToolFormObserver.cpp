#include "cHistoryToolFormObserver.h"

#include "THistoryToolForm.h"

cHistoryToolFormObserver::cHistoryToolFormObserver() : cFormObserver([] { return HistoryToolForm != nullptr; })
{
  On({IMAGE_LOADED, IMAGE_CLOSED, HISTORY_CHANGED, GLOBAL_PARAMETERS_CHANGED}, [](const sMessage&) {
    HistoryToolForm->RefreshGrid();
    HistoryToolForm->SetupColumns();
  });
}
