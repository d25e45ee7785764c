#pragma once
// The kernel's own main-thread event loop: posted work and messages in a queue, timers that
// fire when due. The thread that constructs it is its main thread.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>

#include "kvMessages/iKernelHost.h"

class cPlainEventLoop : public iKernelHost {
public:
  // mainWindow: the innermost handler, standing for the main window's own handler.
  explicit cPlainEventLoop(tWndProc mainWindow = nullptr);

  tWndProc GetWndProc() const override;
  void SetWndProc(tWndProc handler) override;
  void SendMessage(sMessage& message) override;
  void PostMessage(const sMessage& message) override;
  void PostWork(std::function<void()> work) override;
  int StartTimer(unsigned intervalMs, std::function<void()> tick) override;
  void StopTimer(int id) override;

  // Runs the work queued so far and the timers that are due; returns how many items ran.
  int ProcessPending();
  // Processes events until the predicate holds or the timeout passes; true if it holds.
  bool RunUntil(const std::function<bool()>& predicate,
                std::chrono::milliseconds timeout = std::chrono::milliseconds(600000));
  // Processes events until no posted work is left (timers alone do not keep it busy).
  void RunUntilIdle();
  bool HasPendingWork() const;

private:
  using tClock = std::chrono::steady_clock;
  struct sTimer {
    std::chrono::milliseconds Interval;
    tClock::time_point Due;
    std::function<void()> Tick;
  };
  int FireDueTimers();
  // Runs the work queued so far (not work it posts itself); returns how many items ran.
  int RunPosted();

  tWndProc WndProc;
  mutable std::mutex QueueLock;
  std::condition_variable QueueChanged;
  std::deque<std::function<void()>> Queue;
  std::map<int, sTimer> Timers;
  int NextTimerId = 1;
};
