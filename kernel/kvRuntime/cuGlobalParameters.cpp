#include "kvRuntime/cuGlobalParameters.h"

#include "kvRuntime/cGlobalParametersMessenger.h"

namespace {
cuGlobalParameters TheGlobalParameters;
}
cuGlobalParameters* GlobalParams = &TheGlobalParameters;

void cuGlobalParameters::SetMaxPixels(uint64_t pixels)
{
  MaxPixels = pixels < 1 ? 1 : pixels > MaxPixelsCeiling ? MaxPixelsCeiling : pixels;
}

int cuGlobalParameters::GetHistoryColsCount() const
{
  return int(ShowPSNR) + int(ShowMSE) + int(ShowIQ) + int(ShowIQHVS) + int(ShowSSIM) + int(ShowTime);
}

void cuGlobalParameters::FullUpdate()
{
  cGlobalParametersMessenger::SendGlobalParametersChanged();
}
