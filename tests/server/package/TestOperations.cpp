#include "TestOperations.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <stdexcept>
#include <thread>

#include "ParameterInfoBuilder.h"

SlowOperation::SlowOperation()
{
  Describe("Test Slow", "Test", otFilter, fmNoDialog);
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
  Describe("Test Fail", "Test", otFilter, fmNoDialog);
}

void FailingOperation::OperationItself(const tTerminateFlag&)
{
  OperationProgress(50);
  throw std::runtime_error("Test operation failed on purpose");
}

ShiftOperation::ShiftOperation()
{
  Describe("Test Shift", "Test", otNoise, fmParamDialog);
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
  Describe("Test Copy", "Test", otFilter, fmNoDialog);
  Params->AddNewParam(kvtest::Info(ptInteger, "Window size", 1, 9, 3, 0));
}

FailAboveOperation::FailAboveOperation()
{
  Describe("Test Fail Above", "Test", otFilter, fmNoDialog);
  Params->AddNewParam(kvtest::Info(ptInteger, "Limit", 0, 255, 255, 0));
}

void FailAboveOperation::OperationItself(const tTerminateFlag&)
{
  if (SourceSurface->GetWidth() > 0 && SourceSurface->Row(0)[0] > Params->GetParam(0)->GetInteger())
    throw std::runtime_error("Test operation failed above its limit");
}

InterruptOperation::InterruptOperation()
{
  Describe("Test Interrupt", "Test", otFilter, fmNoDialog);
  Params->AddNewParam(kvtest::Info(ptInteger, "Limit", 0, 255, 0, 0));
}

void InterruptOperation::OperationItself(const tTerminateFlag&)
{
  if (SourceSurface->GetWidth() > 0 && SourceSurface->Row(0)[0] > Params->GetParam(0)->GetInteger()) std::raise(SIGINT);
}

GiveUpOperation::GiveUpOperation()
{
  Describe("Test Give Up", "Test", otFilter, fmNoDialog);
}

void GiveUpOperation::OperationItself(const tTerminateFlag&)
{
  StopRun();
}
