#include "Desaturate.h"

Desaturate::Desaturate()
{
  Name = "Desaturate";
  GroupName = "Color";
  OperationType = otBuiltIn;
  TotalVariation = true;
  RGBOnly = true;
}

void Desaturate::OperationStarted()
{
  FirstRow = 0;
  EndRow = unsigned(SourceSurface->GetHeight());
  FirstColumn = 0;
  EndColumn = unsigned(SourceSurface->GetWidth());
  ResultImage->SetSize(SourceSurface->GetWidth(), SourceSurface->GetHeight(), 1);
  ResultSurface = ResultImage->GetSurface();
  ResultSurface->CurrentChannel = 0;
}

void Desaturate::OperationItself(const tTerminateFlag& terminated)
{
  OperationStarted();
  const int channels = SourceSurface->GetChannelsCount();
  const unsigned height = EndRow;
  for (unsigned y = FirstRow; y < EndRow; ++y) {
    const uint8_t* src = SourceSurface->Row(int(y));
    uint8_t* dst = ResultSurface->Row(int(y));
    for (unsigned x = FirstColumn; x < EndColumn; ++x) {
      unsigned sum = 0;
      for (int c = 0; c < channels; ++c) sum += src[x * unsigned(channels) + unsigned(c)];
      dst[x] = uint8_t(sum / 3);
      if (terminated.load(std::memory_order_relaxed)) {
        OperationTerminated();
        return;
      }
    }
    OperationProgress(y * 99 / height);
  }
}
