#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "kvRuntime/cWorkerPool.h"

namespace {
// The setting is process-wide: every test leaves it as it found it.
class WorkerPoolTest : public testing::Test {
protected:
  void SetUp() override { Saved = kvGetThreadCount(); }
  void TearDown() override { kvSetThreadCount(Saved); }
  unsigned Saved = 1;
};

struct sBand {
  int First, End;
  bool operator==(const sBand&) const = default;
};

std::vector<sBand> BandsOf(int begin, int end)
{
  std::mutex lock;
  std::vector<sBand> bands;
  kvParallelFor(begin, end, [&](int first, int last) {
    std::lock_guard<std::mutex> guard(lock);
    bands.push_back({first, last});
  });
  std::sort(bands.begin(), bands.end(), [](const sBand& a, const sBand& b) { return a.First < b.First; });
  return bands;
}

// A pool job that holds its worker until released.
class cBlocker final : public cWorkerPool::cJob {
public:
  cBlocker() : cJob("kvTestBlocker") {}
  void Release()
  {
    std::lock_guard<std::mutex> guard(Lock);
    Released = true;
    Changed.notify_all();
  }
  bool WaitStarted()
  {
    std::unique_lock<std::mutex> guard(Lock);
    return Changed.wait_for(guard, std::chrono::seconds(30), [this] { return Started; });
  }

protected:
  void Run() override
  {
    std::unique_lock<std::mutex> guard(Lock);
    Started = true;
    Changed.notify_all();
    Changed.wait(guard, [this] { return Released; });
  }

private:
  std::mutex Lock;
  std::condition_variable Changed;
  bool Started = false;
  bool Released = false;
};
}  // namespace

TEST_F(WorkerPoolTest, EveryIndexOnceInEqualContiguousBands)
{
  struct sCase {
    int Begin, End;
    unsigned Threads;
    std::vector<sBand> Expected;
  };
  const std::vector<sCase> cases = {
      {0, 0, 4, {}},
      {5, 5, 2, {}},
      {7, 3, 2, {}},
      {0, 1, 4, {{0, 1}}},
      {0, 3, 8, {{0, 1}, {1, 2}, {2, 3}}},
      {0, 7, 2, {{0, 4}, {4, 7}}},
      {0, 13, 4, {{0, 4}, {4, 8}, {8, 12}, {12, 13}}},
      {0, 10, 4, {{0, 3}, {3, 6}, {6, 9}, {9, 10}}},
      {0, 9, 4, {{0, 3}, {3, 6}, {6, 9}}},  // three bands of three beat four uneven ones
      {-5, 96, 3, {{-5, 29}, {29, 63}, {63, 96}}},
      {10, 11, 1, {{10, 11}}},
      {0, 97, 1, {{0, 97}}},
      {INT_MAX - 5, INT_MAX, 2, {{INT_MAX - 5, INT_MAX - 2}, {INT_MAX - 2, INT_MAX}}},
      {INT_MIN, INT_MIN + 3, 2, {{INT_MIN, INT_MIN + 2}, {INT_MIN + 2, INT_MIN + 3}}},
  };
  for (const sCase& c : cases) {
    kvSetThreadCount(c.Threads);
    EXPECT_EQ(BandsOf(c.Begin, c.End), c.Expected) << c.Begin << ".." << c.End << " on " << c.Threads;
  }
  // Many bands, more than the pool has threads: each index exactly once.
  for (unsigned threads : {2u, 3u, 7u, 64u, 256u}) {
    kvSetThreadCount(threads);
    for (int count : {1, 2, 31, 257, 1009}) {
      std::vector<std::atomic<int>> hits(static_cast<size_t>(count));
      kvParallelFor(0, count, [&](int first, int end) {
        for (int i = first; i < end; ++i) hits[size_t(i)].fetch_add(1);
      });
      for (int i = 0; i < count; ++i) ASSERT_EQ(hits[size_t(i)].load(), 1) << i << " of " << count << " on " << threads;
    }
  }
}

TEST_F(WorkerPoolTest, OneThreadRunsTheWholeRangeOnTheCaller)
{
  kvSetThreadCount(1);
  std::vector<std::pair<sBand, std::thread::id>> calls;
  kvParallelFor(3, 1000, [&](int first, int end) { calls.push_back({{first, end}, std::this_thread::get_id()}); });
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].first, (sBand{3, 1000}));
  EXPECT_EQ(calls[0].second, std::this_thread::get_id());
}

TEST_F(WorkerPoolTest, TheFirstFailingBandsExceptionReachesTheCallerAfterAllBandsEnded)
{
  kvSetThreadCount(4);
  struct sCase {
    std::vector<int> Failing;  // bands (by first index / 25) that throw
    std::string Expected;
  };
  const std::vector<sCase> cases = {
      {{0}, "band 0"}, {{2}, "band 2"}, {{3}, "band 3"}, {{1, 3}, "band 1"}, {{0, 1, 2, 3}, "band 0"}};
  for (const sCase& c : cases) {
    std::atomic<int> ended{0};
    try {
      kvParallelFor(0, 100, [&](int first, int) {
        std::this_thread::sleep_for(std::chrono::milliseconds(first == 0 ? 0 : 5));
        ended.fetch_add(1);
        const int index = first / 25;
        if (std::find(c.Failing.begin(), c.Failing.end(), index) != c.Failing.end())
          throw std::runtime_error("band " + std::to_string(index));
      });
      ADD_FAILURE() << "nothing thrown for " << c.Expected;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), c.Expected);
    }
    // No band may still run once the caller sees the exception: they share its stack.
    EXPECT_EQ(ended.load(), 4) << c.Expected;
  }
}

TEST_F(WorkerPoolTest, BandsRunConcurrentlyOnThePool)
{
  if (cWorkerPool::Instance().Size() < 2) GTEST_SKIP() << "one core";
  kvSetThreadCount(2);
  // Each band waits for the other to arrive: only two threads at once can finish.
  std::mutex lock;
  std::condition_variable arrived;
  int count = 0;
  std::vector<std::thread::id> threads;
  bool bothArrived = true;
  kvParallelFor(0, 2, [&](int, int) {
    std::unique_lock<std::mutex> guard(lock);
    ++count;
    threads.push_back(std::this_thread::get_id());
    arrived.notify_all();
    if (!arrived.wait_for(guard, std::chrono::seconds(30), [&] { return count == 2; })) bothArrived = false;
  });
  EXPECT_TRUE(bothArrived);
  ASSERT_EQ(threads.size(), 2u);
  EXPECT_NE(threads[0], threads[1]);
}

TEST_F(WorkerPoolTest, WorkersBusyWithLongJobsNeverHoldABandBack)
{
  cWorkerPool& pool = cWorkerPool::Instance();
  std::vector<std::unique_ptr<cBlocker>> blockers;
  for (unsigned i = 0; i < pool.Size(); ++i) {
    blockers.push_back(std::make_unique<cBlocker>());
    pool.Submit(*blockers.back());
  }
  for (auto& blocker : blockers) ASSERT_TRUE(blocker->WaitStarted());
  // A job queued behind the blockers (an index waiting its turn) stays queued meanwhile.
  cBlocker waiting;
  pool.Submit(waiting);

  kvSetThreadCount(8);
  std::vector<std::atomic<int>> hits(100);
  std::vector<std::thread::id> callers;
  std::mutex lock;
  kvParallelFor(0, 100, [&](int first, int end) {
    for (int i = first; i < end; ++i) hits[size_t(i)].fetch_add(1);
    std::lock_guard<std::mutex> guard(lock);
    callers.push_back(std::this_thread::get_id());
  });
  for (int i = 0; i < 100; ++i) EXPECT_EQ(hits[size_t(i)].load(), 1) << i;
  EXPECT_EQ(callers.size(), 8u);
  for (const auto& id : callers) EXPECT_EQ(id, std::this_thread::get_id());

  EXPECT_TRUE(pool.TryWithdraw(waiting));
  for (auto& blocker : blockers) {
    blocker->Release();
    pool.WaitUntilEnded(*blocker);
  }
  EXPECT_FALSE(pool.TryWithdraw(*blockers[0]));
}

TEST_F(WorkerPoolTest, ACallFromInsideABandRunsInline)
{
  kvSetThreadCount(4);
  std::mutex lock;
  std::vector<std::pair<sBand, bool>> inner;  // band, ran on the outer band's thread
  std::atomic<int> covered{0};
  kvParallelFor(0, 40, [&](int first, int end) {
    const auto outer = std::this_thread::get_id();
    kvParallelFor(first, end, [&](int a, int b) {
      covered.fetch_add(b - a);
      std::lock_guard<std::mutex> guard(lock);
      inner.push_back({{a, b}, std::this_thread::get_id() == outer});
    });
  });
  EXPECT_EQ(covered.load(), 40);
  ASSERT_EQ(inner.size(), 4u);
  for (const auto& [band, sameThread] : inner) {
    EXPECT_EQ(band.End - band.First, 10);
    EXPECT_TRUE(sameThread);
  }
  // Inline only while inside a band: the next call splits again.
  EXPECT_EQ(BandsOf(0, 40).size(), 4u);
}

TEST_F(WorkerPoolTest, TheSettingIsClamped)
{
  const std::vector<std::pair<unsigned, unsigned>> cases = {{0, 1},     {1, 1},     {2, 2},        {7, 7},
                                                            {256, 256}, {257, 256}, {100000, 256}, {UINT_MAX, 256}};
  for (auto [asked, kept] : cases) {
    kvSetThreadCount(asked);
    EXPECT_EQ(kvGetThreadCount(), kept) << asked;
  }
}

TEST(ThreadCountFromEnvironment, AcceptsWholeNumbersInRangeAndExplainsTheRest)
{
  struct sCase {
    const char* Value;
    unsigned Expected;
    bool Complains;
  };
  const std::vector<sCase> cases = {{nullptr, 0, false},
                                    {"", 0, false},
                                    {"  ", 0, false},
                                    {"1", 1, false},
                                    {"4", 4, false},
                                    {" 8 ", 8, false},
                                    {"0016", 16, false},
                                    {"256", 256, false},
                                    {"0", 0, true},
                                    {"257", 0, true},
                                    {"-1", 0, true},
                                    {"+2", 0, true},
                                    {"abc", 0, true},
                                    {"4x", 0, true},
                                    {"1e2", 0, true},
                                    {"2.5", 0, true},
                                    {"99999999999999999999999", 0, true},
                                    {"4 4", 0, true}};
  for (const sCase& c : cases) {
    std::string complaint = "stale";
    EXPECT_EQ(kvThreadCountFromEnvironment(c.Value, complaint), c.Expected) << (c.Value ? c.Value : "(unset)");
    EXPECT_EQ(!complaint.empty(), c.Complains) << (c.Value ? c.Value : "(unset)") << ": " << complaint;
    if (c.Complains) {
      EXPECT_NE(complaint.find(std::string("KVADRA_THREADS='") + c.Value + "'"), std::string::npos);
    }
  }
}
