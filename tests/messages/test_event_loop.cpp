// The kernel's plain main-thread loop: posted work, timers, waiting for a condition.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "kvMessages/cPlainEventLoop.h"

using namespace std::chrono_literals;

TEST(PlainEventLoop, PostedWorkRunsInOrderOnlyWhenProcessed)
{
  cPlainEventLoop loop;
  std::vector<int> ran;
  loop.PostWork([&] { ran.push_back(1); });
  loop.PostWork([&] {
    ran.push_back(2);
    loop.PostWork([&] { ran.push_back(3); });  // runs in the next round, not this one
  });
  EXPECT_TRUE(ran.empty());
  EXPECT_TRUE(loop.HasPendingWork());
  EXPECT_EQ(loop.ProcessPending(), 2);
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
  loop.RunUntilIdle();
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  EXPECT_FALSE(loop.HasPendingWork());
}

TEST(PlainEventLoop, WorkThatThrowsLeavesTheRestQueued)
{
  cPlainEventLoop loop;
  std::vector<int> ran;
  loop.PostWork([&] { ran.push_back(1); });
  loop.PostWork([] { throw std::runtime_error("fails"); });
  loop.PostWork([&] { ran.push_back(3); });
  EXPECT_THROW(loop.ProcessPending(), std::runtime_error);
  EXPECT_EQ(ran, (std::vector<int>{1}));
  loop.PostWork([&] { ran.push_back(4); });
  loop.RunUntilIdle();
  EXPECT_EQ(ran, (std::vector<int>{1, 3, 4}));
}

TEST(PlainEventLoop, TimersRepeatUntilStopped)
{
  cPlainEventLoop loop;
  int ticks = 0;
  int id = 0;
  id = loop.StartTimer(2, [&] {
    if (++ticks == 3) loop.StopTimer(id);
  });
  EXPECT_GT(id, 0);
  EXPECT_EQ(ticks, 0);
  EXPECT_TRUE(loop.RunUntil([&] { return ticks == 3; }, 5s));
  std::this_thread::sleep_for(10ms);
  loop.ProcessPending();
  EXPECT_EQ(ticks, 3);
  // A timer is not due before its interval has passed.
  int slow = 0;
  const int slowId = loop.StartTimer(60000, [&] { ++slow; });
  loop.ProcessPending();
  EXPECT_EQ(slow, 0);
  loop.StopTimer(slowId);
}

TEST(PlainEventLoop, RunUntilIdleReturnsWhileABusyTimerKeepsFiring)
{
  cPlainEventLoop loop;
  int ticks = 0;
  // Each tick outlasts the interval, so the timer is always due again.
  const int id = loop.StartTimer(1, [&] {
    ++ticks;
    std::this_thread::sleep_for(2ms);
  });
  bool ran = false;
  loop.PostWork([&] { ran = true; });
  std::this_thread::sleep_for(3ms);
  loop.RunUntilIdle();
  EXPECT_TRUE(ran);
  EXPECT_LE(ticks, 3);
  loop.StopTimer(id);
}

TEST(PlainEventLoop, RunUntilNoticesAConditionSetByAnotherThreadWithoutPosting)
{
  cPlainEventLoop loop;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    std::this_thread::sleep_for(20ms);
    done.store(true);
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(loop.RunUntil([&] { return done.load(); }, 60s));
  worker.join();
  // Well before the timeout: the loop looks at the condition again while it waits.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 30s);
}

TEST(PlainEventLoop, RunUntilGivesUpAfterTheTimeout)
{
  cPlainEventLoop loop;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(loop.RunUntil([] { return false; }, 30ms));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
}

TEST(PlainEventLoop, PostFromAnotherThreadWakesAWaitingLoop)
{
  cPlainEventLoop loop;
  std::thread::id ranOn;
  std::thread poster([&] {
    std::this_thread::sleep_for(10ms);
    loop.PostWork([&] { ranOn = std::this_thread::get_id(); });
  });
  EXPECT_TRUE(loop.RunUntil([&] { return ranOn != std::thread::id(); }, 60s));
  poster.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(PlainEventLoop, SendGoesThroughTheCurrentHandlerChain)
{
  std::vector<uint32_t> window;
  cPlainEventLoop loop([&](sMessage& m) { window.push_back(m.Msg); });
  tWndProc previous = loop.GetWndProc();
  std::vector<uint32_t> front;
  loop.SetWndProc([&, previous](sMessage& m) {
    front.push_back(m.Msg);
    previous(m);
  });
  sMessage m;
  m.Msg = 1040;
  loop.SendMessage(m);
  loop.PostMessage(m);
  EXPECT_EQ(window.size(), 1u);
  loop.ProcessPending();
  EXPECT_EQ(front, (std::vector<uint32_t>{1040, 1040}));
  EXPECT_EQ(window, (std::vector<uint32_t>{1040, 1040}));
}
