#include "kvMeasures/vclIQThread.h"

#include <algorithm>
#include <mutex>

#include "kvMeasures/cImageMeasures.h"
#include "kvMessages/iKernelHost.h"

namespace {
std::mutex RegistryLock;
std::vector<TIQThread*>& Registry()
{
  static std::vector<TIQThread*> threads;
  return threads;
}
}  // namespace

unsigned TIQThread::PoolSize()
{
  return cWorkerPool::Instance().Size();
}

TIQThread::TIQThread(eQualityIndex kind, cImageMeasures& owner)
    : cJob("IQThread"),
      Kind(kind),
      Owner(&owner),
      Settings(sQualitySettings::FromGlobals()),
      Self(std::make_shared<TIQThread*>(this))
{
  for (int i = 0; i < owner.GetChannelPropertiesCount(); ++i) {
    cChannelProperties* channel = owner.GetChannelProperties(i);
    Inputs.push_back({channel->GetImageSurface(), channel->GetOriginSurface(), channel->GetChannelIndex()});
  }
  std::lock_guard<std::mutex> guard(RegistryLock);
  Registry().push_back(this);
}

TIQThread::~TIQThread()
{
  Terminate();
  if (Host) cWorkerPool::Instance().Withdraw(*this);
  Self.reset();
  std::lock_guard<std::mutex> guard(RegistryLock);
  auto& threads = Registry();
  threads.erase(std::remove(threads.begin(), threads.end(), this), threads.end());
}

std::vector<TIQThread*> TIQThread::ThreadsReading(const cBMPSurface* surface)
{
  std::lock_guard<std::mutex> guard(RegistryLock);
  std::vector<TIQThread*> found;
  for (TIQThread* thread : Registry()) {
    const bool reads = std::any_of(thread->Inputs.begin(), thread->Inputs.end(), [surface](const sChannelInput& input) {
      return input.Image == surface || input.Origin == surface;
    });
    if (reads) found.push_back(thread);
  }
  return found;
}

void TIQThread::Start(iKernelHost& host)
{
  if (Host) return;
  Host = &host;
  cWorkerPool::Instance().Submit(*this);
}

void TIQThread::Execute(iKernelHost* host)
{
  double sum = 0.0;
  for (const sChannelInput& input : Inputs) {
    const double value =
        cChannelProperties::Compute(Kind, input.Image, input.Origin, input.Channel, Settings, &Terminated);
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
  cWorkerPool::Instance().Withdraw(*this);
  // A stop requested after the computation ended still counts: the requester has already
  // declared the result out of date.
  Stopped = Stopped || Terminated.load();
  // A copy: the handler may delete this thread object.
  tCompletion handler = Completion;
  if (handler) handler(*this);
}
