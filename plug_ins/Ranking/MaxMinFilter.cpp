#include "MaxMinFilter.h"

#include <algorithm>

#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("pkRanking\\MaxMinFilter");

MaxMinFilter::MaxMinFilter() : acExtremumFilter("Max-Min Filter", true, true)
{
  SequenceParam = Params->AddEnumerated("Filter sequence", {"Max-min", "Min-max"}, 0);
}

// Each pass is an extremum run of its own (rows or the per-sample reference, as asked): the
// first from the source into a temporary surface, the second from it into the result.
void MaxMinFilter::OperationItself(const tTerminateFlag& terminated)
{
  if (SourceSurface->GetHeight() != ResultSurface->GetHeight() ||
      SourceSurface->GetWidth() != ResultSurface->GetWidth() ||
      SourceSurface->GetChannelsCount() != ResultSurface->GetChannelsCount()) {
    OperationTerminated();
    return;
  }
  const cOperationParameter& sequence = (*Params)[SequenceParam];
  KV_ASSERT(sequence.GetType() == ptEnumerated, "theParameterType == ptEnumerated");
  const bool maxFirst = sequence.GetEnumSelectedIndex() == 0;
  PreProcessing();
  cBMPSurface* const source = SourceSurface;
  cBMPSurface* const result = ResultSurface;
  const unsigned firstRow = FirstRow, endRow = EndRow, firstColumn = FirstColumn, endColumn = EndColumn;
  cBMPSurface temporary;
  temporary.SetSize(source->GetWidth(), source->GetHeight(), source->GetChannelsCount());
  temporary.MakeCopyFrom(*source);
  if (!RunWholeImage) {
    // The second pass reads the first pass's output around the region, so the first pass
    // covers that margin too. It stays inside the picture: a pixel written through the border
    // rule would land on an in-picture pixel and overwrite its proper value.
    FirstRow = unsigned(std::max(0, int(firstRow) - (Extent.Up + 1)));
    EndRow = unsigned(std::min(source->GetHeight(), int(endRow) + Extent.Down + 1));
    FirstColumn = unsigned(std::max(0, int(firstColumn) - (Extent.Left + 1)));
    EndColumn = unsigned(std::min(source->GetWidth(), int(endColumn) + Extent.Right + 1));
  }
  const unsigned marginFirstRow = FirstRow, marginEndRow = EndRow, marginFirstColumn = FirstColumn,
                 marginEndColumn = EndColumn;
  Maximum = maxFirst;
  ResultSurface = &temporary;
  acExtremumFilter::OperationItself(terminated);
  ResultSurface = result;
  FirstRow = firstRow;
  EndRow = endRow;
  FirstColumn = firstColumn;
  EndColumn = endColumn;
  if (!terminated.load(std::memory_order_relaxed)) {
    result->MakeCopyFrom(temporary);
    Maximum = !maxFirst;
    SourceSurface = &temporary;
    acExtremumFilter::OperationItself(terminated);
    SourceSurface = source;
    // The margin the first pass covered outside the region keeps the source's pixels: only
    // the region is the run's to change.
    const int channels = source->GetChannelsCount();
    for (unsigned y = marginFirstRow; y < marginEndRow; ++y) {
      const bool inside = y >= firstRow && y < endRow;
      for (unsigned x = marginFirstColumn; x < marginEndColumn; ++x)
        if (!inside || x < firstColumn || x >= endColumn)
          std::copy_n(source->Row(int(y)) + x * channels, channels, result->Row(int(y)) + x * channels);
    }
  }
  Maximum = true;
}
