#include "MaxMinFilter.h"

#include <algorithm>

#include "kvDiagnostics.h"

#define UNIT "pkRanking\\MaxMinFilter"

MaxMinFilter::MaxMinFilter()
{
  Name = "Max-Min Filter";
  GroupName = "Max-Min Filters";
  OperationType = otFilter;
  FormMode = 1;
  TotalVariation = false;
  KV_ASSERT_TEXT(Params != nullptr, "OperationParams != NULL", UNIT);
  sParameterInfo info;
  info.theParameterType = ptInteger;
  info.MinBound = 1;
  info.MaxBound = 27;
  info.DefaultValue = 3;
  info.ParameterName = "Window width";
  Params->AddNewParam(info);
  info.ParameterName = "Window height";
  Params->AddNewParam(info);
  info.ParameterName = "Recursive executing";
  info.theParameterType = ptBoolean;
  info.MinBound = 0;
  info.MaxBound = 1;
  info.DefaultValue = 0;
  Params->AddNewParam(info);
  info.ParameterName = "Filter sequence";
  info.theParameterType = ptEnumerated;
  info.AddEnumString("Max-min");
  info.AddEnumString("Min-max");
  Params->AddNewParam(info);
}

uint8_t MaxMinFilter::Extremum(const cBMPSurface& in, int x, int y, bool maximum) const
{
  int m = maximum ? 0 : 255;
  if (FastPath && x >= WidthLower && y >= HeightLower && x + WidthUpper < in.GetWidth() &&
      y + HeightUpper < in.GetHeight()) {
    const int channels = in.GetChannelsCount();
    const int c = channels == 1 ? 0 : in.CurrentChannel;
    for (int dy = -HeightLower; dy <= HeightUpper; ++dy) {
      const uint8_t* p = in.Row(y + dy) + (x - WidthLower) * channels + c;
      for (int dx = -WidthLower; dx <= WidthUpper; ++dx, p += channels)
        m = maximum ? std::max(m, int(*p)) : std::min(m, int(*p));
    }
  } else {
    for (int dx = -WidthLower; dx <= WidthUpper; ++dx)
      for (int dy = -HeightLower; dy <= HeightUpper; ++dy) {
        const int v = in.GetPixel(x + dx, y + dy);
        m = maximum ? std::max(m, v) : std::min(m, v);
      }
  }
  return uint8_t(m);
}

bool MaxMinFilter::Pass(cBMPSurface& input, cBMPSurface& output, bool maximum, const sRegion& region,
                        unsigned progressBase, unsigned progressSpan, const tTerminateFlag& terminated)
{
  const int channels = SourceSurface->GetChannelsCount();
  const cBMPSurface& in = Recursive ? output : input;
  const int rows = region.EndRow - region.FirstRow;
  for (int y = region.FirstRow; y < region.EndRow; ++y) {
    for (int x = region.FirstColumn; x < region.EndColumn; ++x)
      for (int c = 0; c < channels; ++c) {
        input.CurrentChannel = c;
        output.CurrentChannel = c;
        output.SetPixel(x, y, Extremum(in, x, y, maximum));
        if (terminated.load(std::memory_order_relaxed)) {
          OperationTerminated();
          return false;
        }
      }
    OperationProgress(progressBase + unsigned(y - region.FirstRow) * progressSpan / unsigned(rows));
  }
  return true;
}

void MaxMinFilter::OperationItself(const tTerminateFlag& terminated)
{
  if (SourceSurface->GetHeight() != ResultSurface->GetHeight() || SourceSurface->GetWidth() != ResultSurface->GetWidth() ||
      SourceSurface->GetChannelsCount() != ResultSurface->GetChannelsCount()) {
    OperationTerminated();
    return;
  }
  WindowWidth = uint8_t(Params->GetParam(0)->GetInteger());
  WindowHeight = uint8_t(Params->GetParam(1)->GetInteger());
  Recursive = Params->GetParam(2)->GetBoolean();
  const cOperationParameter* sequence = Params->GetParam(3);
  KV_ASSERT_TEXT(sequence->GetType() == ptEnumerated, "theParameterType == ptEnumerated", UNIT);
  Sequence = sequence->GetEnumSelectedIndex();
  WidthLower = (WindowWidth - 1) / 2;
  WidthUpper = WindowWidth / 2;
  HeightLower = (WindowHeight - 1) / 2;
  HeightUpper = WindowHeight / 2;

  cBMPSurface temporary;
  temporary.SetSize(SourceSurface->GetWidth(), SourceSurface->GetHeight(), SourceSurface->GetChannelsCount());
  temporary.MakeCopyFrom(*SourceSurface);

  const sRegion region{int(FirstRow), int(EndRow), int(FirstColumn), int(EndColumn)};
  sRegion first = region;
  if (!RunWholeImage) {
    // The second pass reads the first pass's output around the region, so the first pass
    // covers that margin too. It stays inside the picture: a pixel written through the border
    // rule would land on an in-picture pixel and overwrite its proper value.
    first.FirstRow = std::max(0, region.FirstRow - (HeightLower + 1));
    first.EndRow = std::min(SourceSurface->GetHeight(), region.EndRow + HeightUpper + 1);
    first.FirstColumn = std::max(0, region.FirstColumn - (WidthLower + 1));
    first.EndColumn = std::min(SourceSurface->GetWidth(), region.EndColumn + WidthUpper + 1);
  }
  const bool maxFirst = Sequence == 0;
  if (!Pass(*SourceSurface, temporary, maxFirst, first, 0, 50, terminated)) return;
  ResultSurface->MakeCopyFrom(temporary);
  Pass(temporary, *ResultSurface, !maxFirst, region, 50, 49, terminated);
}
