#include "acOperation.h"

#include "kvDiagnostics.h"

#include <chrono>


acOperation::acOperation() : Params(new cOperationParams(this)) {}

acOperation::~acOperation()
{
  delete Params;
}

void acOperation::SetInterfaces(cImage* source, cImage* result)
{
  SourceImage = source;
  ResultImage = result;
  SourceSurface = source ? source->GetSurface() : nullptr;
  ResultSurface = result ? result->GetSurface() : nullptr;
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
  ResultSurface->MakeCopyFrom(*SourceSurface);
  if (ResultImage->WholeImage) {
    FirstRow = 0;
    EndRow = unsigned(SourceSurface->GetHeight());
    FirstColumn = 0;
    EndColumn = unsigned(SourceSurface->GetWidth());
  } else {
    const sRect& r = ResultImage->ProcessingRect;
    FirstRow = unsigned(r.Top);
    EndRow = unsigned(r.Bottom);
    FirstColumn = unsigned(r.Left);
    EndColumn = unsigned(r.Right);
  }
  const uint32_t started = kvTickCount();
  ResultImage->PercentDone.store(0, std::memory_order_relaxed);
  OperationItself(terminated);
  if (terminated.load(std::memory_order_relaxed)) {
    ResultImage->SetTitle(Name + "(Terminated!)");
    ResultImage->SetTime(kvTickCount() - started);
    OperationTerminated();
  } else {
    ResultImage->SetTitle(Name + " " + GetShortInfoString());
    ResultImage->SetTime(kvTickCount() - started);
    OperationProgress(100);
    OperationFinished();
  }
}
