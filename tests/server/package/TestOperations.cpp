#include "TestOperations.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <stdexcept>
#include <thread>

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
  sParameterInfo info;
  info.ParameterName = "Amount";
  info.theParameterType = ptReal;
  info.MinBound = 0.0;
  info.MaxBound = 100.0;
  info.DefaultValue = 10.0;
  info.Precision = 1;
  Params->AddNewParam(info);
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
  sParameterInfo info;
  info.ParameterName = "Window size";
  info.theParameterType = ptInteger;
  info.MinBound = 1;
  info.MaxBound = 9;
  info.DefaultValue = 3;
  info.Precision = 0;
  Params->AddNewParam(info);
}

FailAboveOperation::FailAboveOperation()
{
  Name = "Test Fail Above";
  GroupName = "Test";
  sParameterInfo info;
  info.ParameterName = "Limit";
  info.theParameterType = ptInteger;
  info.MinBound = 0;
  info.MaxBound = 255;
  info.DefaultValue = 255;
  info.Precision = 0;
  Params->AddNewParam(info);
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
  sParameterInfo info;
  info.ParameterName = "Limit";
  info.theParameterType = ptInteger;
  info.MinBound = 0;
  info.MaxBound = 255;
  info.DefaultValue = 0;
  info.Precision = 0;
  Params->AddNewParam(info);
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
