#pragma once
// Small operations with predictable behaviour for driving the server and the analyzer.
#include "kvOperations/acOperation.h"

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

// Throws when the first sample of its source exceeds "Limit": fails part-way through a sweep.
class FailAboveOperation : public acOperation {
public:
  FailAboveOperation();
  void OperationItself(const tTerminateFlag& terminated) override;
};

// Leaves the copy as it is; when the first sample of its source exceeds "Limit" it raises
// SIGINT in its own process first, as a user's Ctrl-C would during the run (for the
// command-line program; never run it in a test process itself).
class InterruptOperation : public acOperation {
public:
  InterruptOperation();
  void OperationItself(const tTerminateFlag& terminated) override;
};

// Stops itself at once, as an operation does that cannot do its work (a missing data file).
class GiveUpOperation : public acOperation {
public:
  GiveUpOperation();
  void OperationItself(const tTerminateFlag& terminated) override;
};
