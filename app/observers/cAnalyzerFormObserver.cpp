#include "cAnalyzerFormObserver.h"

#include "TAnalyzerForm.h"
#include "kvDiagnostics.h"

KV_UNIT("kvObservers\\cAnalyzerFormObserver");

void cAnalyzerFormObserver::Update(sMessage& message)
{
  KV_ASSERT(message.Msg != VOID_MESSAGE, "Message.Msg != VOID_MESSAGE");
  TAnalyzerForm* form = AnalyzerForm;
  if (!form) return;
  switch (message.Msg) {
  case OPERATION_LOADED:
    form->AddOperation(unsigned(message.LParam));
    break;
  case ANALYZER_SERIES_READY:
    form->SeriesReady();
    break;
  case ANALYZER_POINT_READY:
    form->PointReady();
    break;
  default:
    break;
  }
}
