#include "acSingleChannelOperation.h"

void acSingleChannelOperation::OperationItself(const tTerminateFlag& terminated)
{
  if (SourceSurface->GetHeight() != ResultSurface->GetHeight() || SourceSurface->GetWidth() != ResultSurface->GetWidth() ||
      SourceSurface->GetChannelsCount() != ResultSurface->GetChannelsCount()) {
    OperationTerminated();
    return;
  }
  PreProcessing();
  const int channels = SourceSurface->GetChannelsCount();
  for (unsigned y = FirstRow; y < EndRow && !terminated.load(std::memory_order_relaxed); ++y) {
    for (unsigned x = FirstColumn; x < EndColumn && !terminated.load(std::memory_order_relaxed); ++x) {
      for (int c = 0; c < channels; ++c) {
        SourceSurface->CurrentChannel = c;
        ResultSurface->CurrentChannel = c;
        TransformPixel(x, y);
      }
    }
    OperationProgress((y - FirstRow) * 99 / (EndRow - FirstRow));
  }
  PostProcessing();
}

bool acSingleChannelOperation::RegionInsideSurface() const
{
  return FirstRow <= EndRow && FirstColumn <= EndColumn && EndRow <= unsigned(SourceSurface->GetHeight()) &&
         EndColumn <= unsigned(SourceSurface->GetWidth());
}
