#include "kvOperations/acOperation.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "kvRuntime/cWorkerPool.h"
#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvKernel_bpl\\kvOperations\\acOperation");

acOperation::acOperation() : Params(new cOperationParams(this)) {}

acOperation::~acOperation()
{
  delete Params;
}

void acOperation::Describe(std::string name, std::string group, const char* type, eFormMode formMode,
                           bool totalVariation)
{
  KV_ASSERT(Params != nullptr, "OperationParams != NULL");
  Name = std::move(name);
  GroupName = std::move(group);
  OperationType = type;
  FormMode = formMode;
  TotalVariation = totalVariation;
}

void acOperation::SetInterfaces(cImage* source, cImage* result)
{
  SourceImage = source;
  ResultImage = result;
  SourceSurface = source ? source->GetSurface() : nullptr;
  ResultSurface = result ? result->GetSurface() : nullptr;
  RunWholeImage = result ? result->IsWholeImage() : true;
  RunRect = result ? result->GetProcessingRect() : sRect{};
}

std::string acOperation::GetShortInfoString()
{
  return Params->GetShortInfo();
}

void acOperation::OperationProgress(unsigned percent)
{
  ResultImage->PercentDone.store(int(percent), std::memory_order_relaxed);
}

void acOperation::Execute(const tTerminateFlag& terminated)
{
  KV_ASSERT(SourceSurface != nullptr, "SourceSurface != NULL");
  KV_ASSERT(ResultSurface != nullptr, "ResultSurface != NULL");
  ResultSurface->MakeCopyFrom(*SourceSurface);
  const int width = SourceSurface->GetWidth();
  const int height = SourceSurface->GetHeight();
  if (RunWholeImage) {
    FirstRow = 0;
    EndRow = unsigned(height);
    FirstColumn = 0;
    EndColumn = unsigned(width);
  } else {
    // A rectangle reaching past the picture (a preview scrolled to its edge) is clipped: the
    // border rule would otherwise fold the writes back onto other pixels, and negative
    // coordinates would wrap to huge unsigned bounds.
    const sRect& r = RunRect;
    FirstRow = unsigned(std::clamp(r.Top, 0, height));
    EndRow = unsigned(std::clamp(r.Bottom, 0, height));
    FirstColumn = unsigned(std::clamp(r.Left, 0, width));
    EndColumn = unsigned(std::clamp(r.Right, 0, width));
    EndRow = std::max(EndRow, FirstRow);
    EndColumn = std::max(EndColumn, FirstColumn);
  }
  const uint64_t started = kvMicrosecondCount();
  ResultImage->PercentDone.store(0, std::memory_order_relaxed);
  SelfStopped = false;
  OperationItself(terminated);
  if (terminated.load(std::memory_order_relaxed) || SelfStopped) {
    ResultImage->SetTitle(Name + "(Terminated!)");
    ResultImage->SetTimeMicroseconds(kvMicrosecondCount() - started);
    OperationTerminated();
  } else {
    ResultImage->SetTitle(Name + " " + GetShortInfoString());
    ResultImage->SetTimeMicroseconds(kvMicrosecondCount() - started);
    OperationProgress(DoneProgress);
    OperationFinished();
  }
}

void acOperation::DriveRows(const tTerminateFlag& terminated, bool parallel, const std::function<void(int y)>& row,
                            unsigned progressFrom, unsigned progressTo)
{
  const int first = int(FirstRow), end = int(EndRow);
  if (first >= end) return;
  const unsigned total = unsigned(end - first);
  std::atomic<unsigned> done{0};
  // Rows in any order may go in the order they lie in memory: pictures are stored bottom-up,
  // and walking memory downwards row after row defeats the processor's prefetching.
  const bool memoryOrder =
      parallel && ResultSurface && ResultSurface->GetHeight() > 1 && ResultSurface->Row(1) < ResultSurface->Row(0);
  auto band = [&](int bandFirst, int bandEnd) {
    for (int k = bandFirst; k < bandEnd && !terminated.load(std::memory_order_relaxed); ++k) {
      row(memoryOrder ? bandEnd - 1 - (k - bandFirst) : k);
      const unsigned rows = done.fetch_add(1, std::memory_order_relaxed) + 1;
      OperationProgress(progressFrom + unsigned(uint64_t(rows) * (progressTo - progressFrom) / total));
    }
  };
  if (parallel)
    kvParallelFor(first, end, band);
  else
    band(first, end);
}
