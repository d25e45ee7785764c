#pragma once
// The worker of one interactive run: executes one operation on a thread of its own. Created
// suspended; when the body has returned, the end notification is handed to the main thread
// through the host. Deleting a worker stops it and waits for it.
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "kvOperations/acOperation.h"

class FilterThread {
public:
  // onTerminate is called on the worker thread as its very last step; it must only post.
  FilterThread(acOperation* theOperation, std::function<void()> onTerminate);
  ~FilterThread();
  FilterThread(const FilterThread&) = delete;
  FilterThread& operator=(const FilterThread&) = delete;

  void Start();
  // Sets the stop request the operation polls.
  void Terminate() { Terminated.store(true); }
  // Waits until the body has returned (no effect before Start or after an earlier wait).
  void WaitFor();
  // True once the body has returned.
  bool IsFinished() const { return Finished.load(); }

  acOperation* Operation;
  // The stop request as the operation saw it when it returned.
  bool WasTerminated = false;
  // What the operation threw, if it threw; empty otherwise.
  bool Failed = false;
  std::string ErrorText;

private:
  void Body();

  tTerminateFlag Terminated{false};
  std::atomic<bool> Finished{false};
  std::function<void()> OnTerminate;
  std::thread Thread;
};
