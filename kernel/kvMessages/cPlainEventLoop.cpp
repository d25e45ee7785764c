#include "kvMessages/cPlainEventLoop.h"

#include <algorithm>
#include <vector>

cPlainEventLoop::cPlainEventLoop(tWndProc mainWindow)
    : WndProc(mainWindow ? std::move(mainWindow) : tWndProc([](sMessage&) {}))
{}

tWndProc cPlainEventLoop::GetWndProc() const
{
  return WndProc;
}

void cPlainEventLoop::SetWndProc(tWndProc handler)
{
  WndProc = std::move(handler);
}

void cPlainEventLoop::SendMessage(sMessage& message)
{
  tWndProc handler = WndProc;
  handler(message);
}

void cPlainEventLoop::PostMessage(const sMessage& message)
{
  PostWork([this, message]() {
    sMessage copy = message;
    SendMessage(copy);
  });
}

void cPlainEventLoop::PostWork(std::function<void()> work)
{
  {
    std::lock_guard<std::mutex> guard(QueueLock);
    Queue.push_back(std::move(work));
  }
  QueueChanged.notify_all();
}

int cPlainEventLoop::StartTimer(unsigned intervalMs, std::function<void()> tick)
{
  std::lock_guard<std::mutex> guard(QueueLock);
  const int id = NextTimerId++;
  const auto interval = std::chrono::milliseconds(std::max(1u, intervalMs));
  Timers[id] = sTimer{interval, tClock::now() + interval, std::move(tick)};
  return id;
}

void cPlainEventLoop::StopTimer(int id)
{
  std::lock_guard<std::mutex> guard(QueueLock);
  Timers.erase(id);
}

int cPlainEventLoop::FireDueTimers()
{
  std::vector<int> due;
  {
    std::lock_guard<std::mutex> guard(QueueLock);
    const auto now = tClock::now();
    for (auto& [id, timer] : Timers)
      if (timer.Due <= now) due.push_back(id);
  }
  int fired = 0;
  for (int id : due) {
    std::function<void()> tick;
    {
      std::lock_guard<std::mutex> guard(QueueLock);
      auto it = Timers.find(id);
      if (it == Timers.end()) continue;  // stopped by an earlier tick
      it->second.Due = tClock::now() + it->second.Interval;
      tick = it->second.Tick;
    }
    tick();
    ++fired;
  }
  return fired;
}

int cPlainEventLoop::RunPosted()
{
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard<std::mutex> guard(QueueLock);
    batch.swap(Queue);
  }
  int ran = 0;
  while (!batch.empty()) {
    std::function<void()> work = std::move(batch.front());
    batch.pop_front();
    try {
      work();
    } catch (...) {
      // What was not yet run stays queued, ahead of anything posted meanwhile.
      std::lock_guard<std::mutex> guard(QueueLock);
      Queue.insert(Queue.begin(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
      throw;
    }
    ++ran;
  }
  return ran;
}

int cPlainEventLoop::ProcessPending()
{
  const int ran = RunPosted();
  return ran + FireDueTimers();
}

bool cPlainEventLoop::HasPendingWork() const
{
  std::lock_guard<std::mutex> guard(QueueLock);
  return !Queue.empty();
}

bool cPlainEventLoop::RunUntil(const std::function<bool()>& predicate, std::chrono::milliseconds timeout)
{
  // The predicate may depend on other threads that post nothing, so waiting is done in short
  // slices and the predicate is looked at again after each.
  constexpr auto slice = std::chrono::milliseconds(5);
  const auto deadline = tClock::now() + timeout;
  for (;;) {
    if (predicate()) return true;
    ProcessPending();
    if (predicate()) return true;
    std::unique_lock<std::mutex> lock(QueueLock);
    const auto now = tClock::now();
    if (now >= deadline) {
      lock.unlock();
      return predicate();
    }
    auto wakeAt = std::min(deadline, now + slice);
    for (auto& [id, timer] : Timers) wakeAt = std::min(wakeAt, timer.Due);
    QueueChanged.wait_until(lock, wakeAt, [this] { return !Queue.empty(); });
  }
}

void cPlainEventLoop::RunUntilIdle()
{
  // Only posted work keeps the loop going: a short repeating timer would otherwise never let
  // it return.
  do {
    RunPosted();
    FireDueTimers();
  } while (HasPendingWork());
}
