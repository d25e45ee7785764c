#include "vclIQThread.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <pthread.h>

#include "cImage.h"
#include "iKernelHost.h"

namespace {
std::mutex RegistryLock;
std::vector<TIQThread*>& Registry()
{
  static std::vector<TIQThread*> threads;
  return threads;
}
}  // namespace

// FIFO queue served by a fixed set of threads. It lives as long as the process: its threads may
// still wait on it while static objects are destroyed at exit.
class TIQThread::cPool {
public:
  static cPool& Instance()
  {
    static cPool* pool = new cPool;
    return *pool;
  }

  void Submit(TIQThread* job)
  {
    {
      std::lock_guard<std::mutex> guard(Lock);
      job->State = eState::Queued;
      Queue.push_back(job);
    }
    Wake.notify_one();
  }

  // Takes a job out of the queue if it has not started, else waits until it has ended.
  void Withdraw(TIQThread* job)
  {
    std::unique_lock<std::mutex> guard(Lock);
    if (job->State == eState::Queued) {
      Queue.erase(std::remove(Queue.begin(), Queue.end(), job), Queue.end());
      job->State = eState::Done;
      return;
    }
    Ended.wait(guard, [job] { return job->State != eState::Running; });
  }

  unsigned Size() const { return unsigned(Threads.size()); }

private:
  cPool()
  {
    const unsigned count = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < count; ++i) Threads.emplace_back([this] { Serve(); });
    for (std::thread& t : Threads) t.detach();
  }

  void Serve()
  {
    pthread_setname_np(pthread_self(), "IQThread");
    std::unique_lock<std::mutex> guard(Lock);
    for (;;) {
      Wake.wait(guard, [this] { return !Queue.empty(); });
      TIQThread* job = Queue.front();
      Queue.pop_front();
      job->State = eState::Running;
      guard.unlock();
      job->Execute(job->Host);
      guard.lock();
      job->State = eState::Done;
      Ended.notify_all();
    }
  }

  std::mutex Lock;
  std::condition_variable Wake;
  std::condition_variable Ended;
  std::deque<TIQThread*> Queue;
  std::vector<std::thread> Threads;
};

unsigned TIQThread::PoolSize()
{
  return cPool::Instance().Size();
}

TIQThread::TIQThread(eQualityIndex kind, cImage& image)
    : Kind(kind), Image(&image), OriginImage(image.GetOrigin() ? image.GetOrigin() : &image),
      Settings(sQualitySettings::FromGlobals()), Self(std::make_shared<TIQThread*>(this))
{
  for (int i = 0; i < image.GetChannelPropertiesCount(); ++i) {
    cChannelProperties* channel = image.GetChannelProperties(i);
    Inputs.push_back({channel->GetImageSurface(), channel->GetOriginSurface(), channel->GetChannelIndex()});
  }
  std::lock_guard<std::mutex> guard(RegistryLock);
  Registry().push_back(this);
}

TIQThread::~TIQThread()
{
  Terminate();
  if (Host) cPool::Instance().Withdraw(this);
  Self.reset();
  std::lock_guard<std::mutex> guard(RegistryLock);
  auto& threads = Registry();
  threads.erase(std::remove(threads.begin(), threads.end(), this), threads.end());
}

std::vector<TIQThread*> TIQThread::ThreadsReading(const cImage* image)
{
  std::lock_guard<std::mutex> guard(RegistryLock);
  std::vector<TIQThread*> found;
  for (TIQThread* thread : Registry())
    if (thread->Image == image || thread->OriginImage == image) found.push_back(thread);
  return found;
}

void TIQThread::Start(iKernelHost& host)
{
  if (Host) return;
  Host = &host;
  cPool::Instance().Submit(this);
}

void TIQThread::Execute(iKernelHost* host)
{
  double sum = 0.0;
  for (const sChannelInput& input : Inputs) {
    const double value = cChannelProperties::Compute(Kind, input.Image, input.Origin, input.Channel, Settings, &Terminated);
    ChannelResults.push_back(value);
    sum += value;
  }
  Result = Inputs.empty() ? 0.0 : sum / double(Inputs.size());
  Stopped = Terminated.load();
  host->PostWork([weak = std::weak_ptr<TIQThread*>(Self)] {
    if (auto self = weak.lock()) (*self)->Finished();
  });
}

void TIQThread::Finished()
{
  // The completion is posted at the end of the computation; let the pool mark it done, so a
  // handler that deletes this object does not wait long.
  cPool::Instance().Withdraw(this);
  // A stop requested after the computation ended still counts: the requester has already
  // declared the result out of date.
  Stopped = Stopped || Terminated.load();
  // A copy: the handler may delete this thread object.
  tCompletion handler = Completion;
  if (handler) handler(*this);
}
