#include "kvRuntime/cWorkerPool.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include <pthread.h>

namespace {
// Set while a thread runs a band: a kvParallelFor from inside one runs inline, since splitting
// again would only queue work behind the caller's own bands.
thread_local bool InsideBand = false;

class cBandScope {
public:
  cBandScope() : Previous(InsideBand) { InsideBand = true; }
  ~cBandScope() { InsideBand = Previous; }
  cBandScope(const cBandScope&) = delete;
  cBandScope& operator=(const cBandScope&) = delete;

private:
  bool Previous;
};

class cBandJob final : public cWorkerPool::cJob {
public:
  cBandJob() : cJob("kvWorker") {}
  int First = 0;
  int End = 0;
  const std::function<void(int, int)>* Band = nullptr;
  std::exception_ptr Error;

  void Run() override
  {
    cBandScope scope;
    try {
      (*Band)(First, End);
    } catch (...) {
      Error = std::current_exception();
    }
  }
};

unsigned DefaultThreadCount()
{
  return std::clamp(std::thread::hardware_concurrency(), 1u, kvMaxThreadCount);
}

unsigned InitialThreadCount()
{
  std::string complaint;
  const unsigned wanted = kvThreadCountFromEnvironment(std::getenv("KVADRA_THREADS"), complaint);
  if (!complaint.empty()) std::fprintf(stderr, "%s\n", complaint.c_str());
  return wanted ? wanted : DefaultThreadCount();
}

std::atomic<unsigned>& ThreadCountSetting()
{
  static std::atomic<unsigned> setting{InitialThreadCount()};
  return setting;
}

// The environment is read when the kernel is loaded, so a bad value is reported at start-up
// rather than in the middle of the first run.
[[maybe_unused]] const bool SettingReadAtLoad = (ThreadCountSetting(), true);
}  // namespace

cWorkerPool& cWorkerPool::Instance()
{
  // Never destroyed: its threads may still wait on it while static objects are destroyed at exit.
  static cWorkerPool* pool = new cWorkerPool;
  return *pool;
}

cWorkerPool::cWorkerPool()
{
  const unsigned count = std::max(1u, std::thread::hardware_concurrency());
  for (unsigned i = 0; i < count; ++i) Threads.emplace_back([this] { Serve(); });
  for (std::thread& t : Threads) t.detach();
}

void cWorkerPool::Submit(cJob& job)
{
  {
    std::lock_guard<std::mutex> guard(Lock);
    job.State = cJob::eState::Queued;
    Queue.push_back(&job);
  }
  Wake.notify_one();
}

void cWorkerPool::SubmitAhead(const std::vector<cJob*>& jobs)
{
  {
    std::lock_guard<std::mutex> guard(Lock);
    for (auto job = jobs.rbegin(); job != jobs.rend(); ++job) {
      (*job)->State = cJob::eState::Queued;
      Queue.push_front(*job);
    }
  }
  if (jobs.size() == 1)
    Wake.notify_one();
  else
    Wake.notify_all();
}

bool cWorkerPool::TryWithdraw(cJob& job)
{
  std::lock_guard<std::mutex> guard(Lock);
  if (job.State != cJob::eState::Queued) return false;
  Queue.erase(std::find(Queue.begin(), Queue.end(), &job));
  job.State = cJob::eState::Done;
  return true;
}

void cWorkerPool::WaitUntilEnded(cJob& job)
{
  std::unique_lock<std::mutex> guard(Lock);
  Ended.wait(guard, [&job] { return job.State != cJob::eState::Running; });
}

void cWorkerPool::Withdraw(cJob& job)
{
  if (!TryWithdraw(job)) WaitUntilEnded(job);
}

void cWorkerPool::Serve()
{
  const char* name = "kvWorker";
  pthread_setname_np(pthread_self(), name);
  std::unique_lock<std::mutex> guard(Lock);
  for (;;) {
    Wake.wait(guard, [this] { return !Queue.empty(); });
    cJob* job = Queue.front();
    Queue.pop_front();
    job->State = cJob::eState::Running;
    guard.unlock();
    if (job->ThreadName != name) {
      name = job->ThreadName;
      pthread_setname_np(pthread_self(), name);
    }
    job->Run();
    guard.lock();
    job->State = cJob::eState::Done;
    Ended.notify_all();
  }
}

void kvParallelFor(int begin, int end, const std::function<void(int first, int end)>& band)
{
  if (end <= begin) return;
  const long long count = (long long)end - begin;
  const long long threads = InsideBand ? 1 : kvGetThreadCount();
  const long long size = (count + threads - 1) / threads;
  const long long bands = (count + size - 1) / size;
  if (bands == 1) {
    band(begin, end);
    return;
  }
  std::vector<cBandJob> jobs(size_t(bands - 1));
  std::vector<cWorkerPool::cJob*> queued;
  for (size_t i = 0; i < jobs.size(); ++i) {
    jobs[i].First = int(begin + size * (long long)(i + 1));
    jobs[i].End = int(std::min<long long>(jobs[i].First + size, end));
    jobs[i].Band = &band;
    queued.push_back(&jobs[i]);
  }
  cWorkerPool& pool = cWorkerPool::Instance();
  pool.SubmitAhead(queued);
  std::exception_ptr error;
  {
    cBandScope scope;
    try {
      band(begin, int(begin + size));
    } catch (...) {
      error = std::current_exception();
    }
  }
  // Workers take bands from the front; the caller takes back from the far end whatever is left,
  // so busy or slow workers never hold the result up.
  for (size_t i = jobs.size(); i-- > 0;)
    if (pool.TryWithdraw(jobs[i])) jobs[i].Run();
  for (cBandJob& job : jobs) {
    pool.WaitUntilEnded(job);
    if (!error) error = job.Error;
  }
  if (error) std::rethrow_exception(error);
}

unsigned kvGetThreadCount()
{
  return ThreadCountSetting().load(std::memory_order_relaxed);
}

void kvSetThreadCount(unsigned n)
{
  ThreadCountSetting().store(std::clamp(n, 1u, kvMaxThreadCount), std::memory_order_relaxed);
}

unsigned kvThreadCountFromEnvironment(const char* value, std::string& complaint)
{
  complaint.clear();
  if (!value) return 0;
  const std::string text(value);
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return 0;
  const size_t last = text.find_last_not_of(" \t");
  const std::string number = text.substr(first, last - first + 1);
  bool valid = std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
  unsigned long wanted = 0;
  if (valid) {
    errno = 0;
    wanted = std::strtoul(number.c_str(), nullptr, 10);
    valid = errno == 0 && wanted >= 1 && wanted <= kvMaxThreadCount;
  }
  if (valid) return unsigned(wanted);
  complaint = "KVADRA_THREADS='" + text + "' ignored: it must be a whole number from 1 to " +
              std::to_string(kvMaxThreadCount) + "; using " + std::to_string(DefaultThreadCount()) + " threads.";
  return 0;
}
