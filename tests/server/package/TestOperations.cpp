#include "TestOperations.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <stdexcept>
#include <thread>

#include "ParameterInfoBuilder.h"

SlowOperation::SlowOperation()
{
  Name = "Test Slow";
  GroupName = "Test";
}

void SlowOperation::OperationItself(const tTerminateFlag& terminated)
{
  for (unsigned y = FirstRow; y < EndRow; ++y) {
    if (terminated.load()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    OperationProgress((y - FirstRow) * 99 / (EndRow - FirstRow));
  }
}

FailingOperation::FailingOperation()
{
  Name = "Test Fail";
  GroupName = "Test";
}

void FailingOperation::OperationItself(const tTerminateFlag&)
{
  OperationProgress(50);
  throw std::runtime_error("Test operation failed on purpose");
}

ShiftOperation::ShiftOperation()
{
  Name = "Test Shift";
  GroupName = "Test";
  OperationType = otNoise;
  FormMode = 1;
  Params->AddNewParam(kvtest::Info(ptReal, "Amount", 0.0, 100.0, 10.0, 1));
}

void ShiftOperation::OperationItself(const tTerminateFlag&)
{
  const unsigned amount = unsigned(Params->GetParam(0)->GetReal());
  const unsigned channels = unsigned(ResultSurface->GetChannelsCount());
  for (unsigned y = FirstRow; y < EndRow; ++y) {
    uint8_t* row = ResultSurface->Row(int(y));
    for (unsigned i = FirstColumn * channels; i < EndColumn * channels; ++i)
      row[i] = uint8_t(std::min(255u, row[i] + amount));
  }
}

CopyOperation::CopyOperation()
{
  Name = "Test Copy";
  GroupName = "Test";
  Params->AddNewParam(kvtest::Info(ptInteger, "Window size", 1, 9, 3, 0));
}

FailAboveOperation::FailAboveOperation()
{
  Name = "Test Fail Above";
  GroupName = "Test";
  Params->AddNewParam(kvtest::Info(ptInteger, "Limit", 0, 255, 255, 0));
}

void FailAboveOperation::OperationItself(const tTerminateFlag&)
{
  if (SourceSurface->GetWidth() > 0 && SourceSurface->Row(0)[0] > Params->GetParam(0)->GetInteger())
    throw std::runtime_error("Test operation failed above its limit");
}

InterruptOperation::InterruptOperation()
{
  Name = "Test Interrupt";
  GroupName = "Test";
  Params->AddNewParam(kvtest::Info(ptInteger, "Limit", 0, 255, 0, 0));
}

void InterruptOperation::OperationItself(const tTerminateFlag&)
{
  if (SourceSurface->GetWidth() > 0 && SourceSurface->Row(0)[0] > Params->GetParam(0)->GetInteger())
    std::raise(SIGINT);
}

GiveUpOperation::GiveUpOperation()
{
  Name = "Test Give Up";
  GroupName = "Test";
}

void GiveUpOperation::OperationItself(const tTerminateFlag&)
{
  StopRun();
}
