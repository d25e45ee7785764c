#include "acSingleChannelOperation.h"

#include <algorithm>

void acSingleChannelOperation::OperationItself(const tTerminateFlag& terminated)
{
  if (SourceSurface->GetHeight() != ResultSurface->GetHeight() || SourceSurface->GetWidth() != ResultSurface->GetWidth() ||
      SourceSurface->GetChannelsCount() != ResultSurface->GetChannelsCount()) {
    OperationTerminated();
    return;
  }
  PreProcessing();
  const int channels = SourceSurface->GetChannelsCount();
  const int width = SourceSurface->GetWidth(), height = SourceSurface->GetHeight();
  sWindowExtent window;
  const bool spans = InteriorWindow(window) && RegionInsideSurface();
  auto stopped = [&] { return terminated.load(std::memory_order_relaxed); };
  auto plain = [&](unsigned x, unsigned y) {
    for (int c = 0; c < channels; ++c) {
      SourceSurface->CurrentChannel = c;
      ResultSurface->CurrentChannel = c;
      TransformPixel(x, y);
    }
  };
  for (unsigned y = FirstRow; y < EndRow && !stopped(); ++y) {
    int firstFast = int(EndColumn), endFast = int(EndColumn);
    if (spans && int(y) + window.LowY >= 0 && int(y) + window.HighY < height) {
      firstFast = std::min(std::max(int(FirstColumn), -window.LowX), int(EndColumn));
      endFast = std::max(firstFast, std::min(int(EndColumn), width - window.HighX));
    }
    unsigned x = FirstColumn;
    for (; x < unsigned(firstFast) && !stopped(); ++x) plain(x, y);
    if (x == unsigned(firstFast) && firstFast < endFast && !stopped()) {
      for (int c = 0; c < channels; ++c) InteriorSpan(int(y), c, firstFast, endFast);
      x = unsigned(endFast);
    }
    for (; x < EndColumn && !stopped(); ++x) plain(x, y);
    OperationProgress((y - FirstRow) * 99 / (EndRow - FirstRow));
  }
  PostProcessing();
}

bool acSingleChannelOperation::RegionInsideSurface() const
{
  return FirstRow <= EndRow && FirstColumn <= EndColumn && EndRow <= unsigned(SourceSurface->GetHeight()) &&
         EndColumn <= unsigned(SourceSurface->GetWidth());
}
