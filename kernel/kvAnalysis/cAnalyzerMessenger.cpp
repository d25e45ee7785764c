#include "kvAnalysis/cAnalyzerMessenger.h"

#include "kvMessages/cMessenger.h"
#include "kvMessages/kvMessages.h"

namespace cAnalyzerMessenger {
void SendAnalyzerSeriesReady()
{
  cMessenger::Send(ANALYZER_SERIES_READY);
}
void SendAnalyzerPointReady()
{
  cMessenger::Send(ANALYZER_POINT_READY);
}
}  // namespace cAnalyzerMessenger
