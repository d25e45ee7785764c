#include "cuGlobalParameters.h"

#include "cGlobalParametersMessenger.h"

namespace {
cuGlobalParameters TheGlobalParameters;
}
cuGlobalParameters* GlobalParams = &TheGlobalParameters;

int cuGlobalParameters::GetHistoryColsCount() const
{
  return int(ShowPSNR) + int(ShowMSE) + int(ShowIQ) + int(ShowIQHVS) + int(ShowSSIM) + int(ShowTime);
}

void cuGlobalParameters::FullUpdate()
{
  cGlobalParametersMessenger::SendGlobalParametersChanged();
}
