#include "kvOperations/acSingleChannelOperation.h"

#include <algorithm>

void acSingleChannelOperation::OperationItself(const tTerminateFlag& terminated)
{
  if (SourceSurface->GetHeight() != ResultSurface->GetHeight() ||
      SourceSurface->GetWidth() != ResultSurface->GetWidth() ||
      SourceSurface->GetChannelsCount() != ResultSurface->GetChannelsCount()) {
    OperationTerminated();
    return;
  }
  PreProcessing();
  const sRowForm form = RowForm();
  LastRunByRows = form.Available && !PixelReference && RegionInsideSurface();
  if (!LastRunByRows) {
    RunPlain(terminated);
  } else {
    Window = form.Window;
    WindowReadsResult = form.ReadsResult;
    if (form.ReadsResult) {
      // Pixel by pixel in the plain order, each span of one pixel seeing the results so far.
      DriveRows(terminated, false, [this](int y) {
        for (unsigned x = FirstColumn; x < EndColumn; ++x) TransformSpan(y, int(x), int(x) + 1);
      });
    } else {
      DriveRows(terminated, form.Parallel, [this](int y) { TransformSpan(y, int(FirstColumn), int(EndColumn)); });
    }
  }
  PostProcessing();
}

void acSingleChannelOperation::RunPlain(const tTerminateFlag& terminated)
{
  const int channels = SourceSurface->GetChannelsCount();
  auto stopped = [&] { return terminated.load(std::memory_order_relaxed); };
  for (unsigned y = FirstRow; y < EndRow && !stopped(); ++y) {
    for (unsigned x = FirstColumn; x < EndColumn && !stopped(); ++x)
      for (int c = 0; c < channels; ++c) {
        SourceSurface->CurrentChannel = c;
        ResultSurface->CurrentChannel = c;
        TransformPixel(x, y);
      }
    OperationProgress((y - FirstRow) * WorkProgress / (EndRow - FirstRow));
  }
}

void acSingleChannelOperation::TransformSpan(int y, int firstX, int endX)
{
  const cBMPSurface& from = WindowReadsResult ? *ResultSurface : *SourceSurface;
  const int channels = from.GetChannelsCount();
  const int width = from.GetWidth();
  // Kept per thread: a span is far too short a piece of work to allocate for.
  // The kernel is loaded with the program, so its thread-local slots are reached directly.
  [[gnu::tls_model("initial-exec")]] thread_local std::vector<const uint8_t*> rows;
  [[gnu::tls_model("initial-exec")]] thread_local std::vector<uint8_t> pad;
  uint8_t* out = ResultSurface->Row(y);
  // Pixels whose window columns all lie inside the picture read the rows themselves.
  const int interiorFirst = std::clamp(Window.Left, firstX, endX);
  const int interiorEnd = std::max(interiorFirst, std::min(endX, width - Window.Right));
  auto run = [&](int first, int end) {
    if (first >= end) return;
    const bool pictureRows = GatherWindow(from, Window, y, first, end, rows, pad);
    TransformRow(sWindowRows{rows.data(), channels, first, y, pictureRows}, out + first * channels, end - first);
  };
  run(firstX, interiorFirst);
  run(interiorFirst, interiorEnd);
  run(std::max(interiorEnd, firstX), endX);
}

bool acSingleChannelOperation::GatherWindow(const cBMPSurface& surface, const sWindowExtent& window, int y, int firstX,
                                            int endX, std::vector<const uint8_t*>& rows,
                                            std::vector<uint8_t>& pad) const
{
  const int channels = surface.GetChannelsCount();
  const int width = surface.GetWidth(), height = surface.GetHeight();
  const int rowCount = window.Height();
  rows.resize(size_t(rowCount));
  if (firstX - window.Left >= 0 && endX + window.Right <= width) {
    for (int k = 0; k < rowCount; ++k)
      rows[size_t(k)] = surface.Row(kvFoldIndex(y - window.Up + k, height)) + firstX * channels;
    return true;
  }
  const int padded = window.Left + (endX - firstX) + window.Right;
  pad.resize(size_t(rowCount) * size_t(padded) * size_t(channels));
  for (int k = 0; k < rowCount; ++k) {
    const uint8_t* in = surface.Row(kvFoldIndex(y - window.Up + k, height));
    uint8_t* line = pad.data() + size_t(k) * size_t(padded) * size_t(channels);
    // Columns inside the picture in one copy; only those beyond an edge are folded.
    const int first = firstX - window.Left;
    const int insideFirst = std::clamp(-first, 0, padded), insideEnd = std::clamp(width - first, insideFirst, padded);
    // Byte loops for the few samples at a side edge: a library copy per sample or per short
    // run costs more than the copying (a small window's border spans are a pixel or two wide).
    auto fold = [&](int j) {
      const uint8_t* sample = in + kvFoldIndex(first + j, width) * channels;
      for (int c = 0; c < channels; ++c) line[j * channels + c] = sample[c];
    };
    for (int j = 0; j < insideFirst; ++j) fold(j);
    const uint8_t* inside = in + (first + insideFirst) * channels;
    const int insideBytes = (insideEnd - insideFirst) * channels;
    if (insideBytes >= 64)
      std::copy(inside, inside + insideBytes, line + insideFirst * channels);
    else
      for (int i = 0; i < insideBytes; ++i) line[insideFirst * channels + i] = inside[i];
    for (int j = insideEnd; j < padded; ++j) fold(j);
    rows[size_t(k)] = line + window.Left * channels;
  }
  return false;
}

bool acSingleChannelOperation::RegionInsideSurface() const
{
  return FirstRow <= EndRow && FirstColumn <= EndColumn && EndRow <= unsigned(SourceSurface->GetHeight()) &&
         EndColumn <= unsigned(SourceSurface->GetWidth());
}
