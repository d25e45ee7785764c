#include "acQuarterTurn.h"

void acQuarterTurn::PreProcessing()
{
  SourceWidth = SourceSurface->GetWidth();
  SourceHeight = SourceSurface->GetHeight();
  ResultSurface->SetSize(SourceHeight, SourceWidth, SourceSurface->GetChannelsCount());
}
