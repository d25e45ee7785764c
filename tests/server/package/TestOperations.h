#pragma once
// Small operations with predictable behaviour for driving the server and the analyzer.
#include "acOperation.h"

// Sleeps on every row, polling the stop request, so that a run can be caught while going.
class SlowOperation : public acOperation {
public:
  SlowOperation();
  void OperationItself(const tTerminateFlag& terminated) override;
};

// Throws from the middle of its work.
class FailingOperation : public acOperation {
public:
  FailingOperation();
  void OperationItself(const tTerminateFlag& terminated) override;
};

// Adds the integral part of "Amount" to every sample (saturating): a predictable corruption.
class ShiftOperation : public acOperation {
public:
  ShiftOperation();
  void OperationItself(const tTerminateFlag& terminated) override;
};

// Leaves the copy of the source as it is; has a parameter so that titles carry a summary.
class CopyOperation : public acOperation {
public:
  CopyOperation();
};
