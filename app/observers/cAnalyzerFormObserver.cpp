#include "cAnalyzerFormObserver.h"

#include "TAnalyzerForm.h"

cAnalyzerFormObserver::cAnalyzerFormObserver() : cFormObserver([] { return AnalyzerForm != nullptr; })
{
  On({OPERATION_LOADED}, [](const sMessage& m) { AnalyzerForm->AddOperation(unsigned(m.LParam)); });
  On({ANALYZER_SERIES_READY}, [](const sMessage&) { AnalyzerForm->SeriesReady(); });
  On({ANALYZER_POINT_READY}, [](const sMessage&) { AnalyzerForm->PointReady(); });
  On({IMAGE_LOADED, IMAGE_CLOSED, HISTORY_CHANGED, CURRENT_IMAGE_CHANGED}, [](const sMessage&) {
    if (AnalyzerForm->isVisible()) AnalyzerForm->RefreshExperimentImages();
  });
}
