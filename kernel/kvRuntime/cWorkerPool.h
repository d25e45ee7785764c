#pragma once
// The kernel's one pool of worker threads (as many as the machine has cores, started on first
// use, kept for the life of the process). The background quality indices queue on it, and
// operations split their rows across it with kvParallelFor, so a history refresh and a filter
// never start threads of their own.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class cWorkerPool {
public:
  // A unit of work for the pool. Its queue state is guarded by the pool's lock; a job must
  // outlive its time in the pool (until Withdraw or WaitUntilEnded has returned).
  class cJob {
  public:
    // threadName: what the worker is called (as ps and debuggers show it) while it runs the job.
    explicit cJob(const char* threadName) : ThreadName(threadName) {}
    virtual ~cJob() = default;
    cJob(const cJob&) = delete;
    cJob& operator=(const cJob&) = delete;

  protected:
    virtual void Run() = 0;

  private:
    friend class cWorkerPool;
    enum class eState { Idle, Queued, Running, Done };
    const char* ThreadName;
    eState State = eState::Idle;
  };

  static cWorkerPool& Instance();
  unsigned Size() const { return unsigned(Threads.size()); }

  // Queues a job behind every waiting one (first in, first out).
  void Submit(cJob& job);
  // Queues jobs ahead of every waiting one, in the order given: work someone waits for goes
  // before background work.
  void SubmitAhead(const std::vector<cJob*>& jobs);
  // Takes a job out of the queue if no worker has started it (true: it will not run).
  bool TryWithdraw(cJob& job);
  // Waits until a job taken by a worker has ended (at once when it is not running).
  void WaitUntilEnded(cJob& job);
  // Takes a job out of the queue if it has not started, else waits until it has ended.
  void Withdraw(cJob& job);

private:
  cWorkerPool();
  void Serve();

  std::mutex Lock;
  std::condition_variable Wake;
  std::condition_variable Ended;
  std::deque<cJob*> Queue;
  std::vector<std::thread> Threads;
};

// Runs band(first, end) over [begin, end) split into at most kvGetThreadCount() contiguous bands
// of equal size (the last band may be shorter); the calling thread runs the first band itself,
// takes back the bands no worker has started and waits for the rest, so workers busy with long
// jobs only cost speed. An empty range runs nothing; with one thread, one band, or a call from
// inside a band, band(begin, end) runs on the calling thread. Bands must be independent. The
// first exception of a band (in band order) is rethrown on the caller once every band has ended.
void kvParallelFor(int begin, int end, const std::function<void(int first, int end)>& band);

// The thread-count setting: at most this many bands per kvParallelFor. Default: every core,
// or KVADRA_THREADS read once when the kernel is loaded; 1 runs everything on the calling thread.
unsigned kvGetThreadCount();
// n is clamped to 1..kvMaxThreadCount.
void kvSetThreadCount(unsigned n);
constexpr unsigned kvMaxThreadCount = 256;
// The value KVADRA_THREADS asks for: a whole number in 1..kvMaxThreadCount (spaces around it
// allowed). Anything else gives 0 and a one-line reason in complaint; unset or empty gives 0
// without one.
unsigned kvThreadCountFromEnvironment(const char* value, std::string& complaint);
