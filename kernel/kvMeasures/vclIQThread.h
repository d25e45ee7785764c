#pragma once
// A background computation of one windowed quality index (IQ, IQHVS or SSIM) of one picture:
// the mean over the picture's channels of the channel index against the origin. Its inputs
// (surfaces, channels, settings) are taken from the picture's measures when it is created, on
// the main thread; its completion handler runs on the main thread through the kernel host's
// work queue.
// Computations queue on the kernel's worker pool (as many threads as the machine has cores), so a
// history refresh that asks for a hundred indices does not start a hundred threads.
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "kvMeasures/cChannelProperties.h"
#include "kvRuntime/cWorkerPool.h"

class cImageMeasures;
class iKernelHost;

class TIQThread : private cWorkerPool::cJob {
public:
  using tCompletion = std::function<void(TIQThread& sender)>;

  // Created suspended: set the completion handler, then Start.
  TIQThread(eQualityIndex kind, cImageMeasures& owner);
  // Asks the computation to stop and waits for it; a completion still queued is dropped.
  ~TIQThread();
  TIQThread(const TIQThread&) = delete;
  TIQThread& operator=(const TIQThread&) = delete;

  void SetCompletion(tCompletion handler) { Completion = std::move(handler); }
  // host receives the completion; it must outlive the thread.
  void Start(iKernelHost& host);
  // Terminate request: the completion then reports stopped.
  void Terminate() { Terminated.store(true); }

  eQualityIndex GetKind() const { return Kind; }
  // The measures the result is for.
  cImageMeasures* GetOwner() const { return Owner; }
  double GetResult() const { return Result; }
  bool IsStopped() const { return Stopped; }
  // Channel values behind the result, in channel order.
  const std::vector<double>& GetChannelResults() const { return ChannelResults; }

  // Every live thread that reads surface, as measured picture or as origin (main thread).
  static std::vector<TIQThread*> ThreadsReading(const cBMPSurface* surface);
  // Threads of the kernel's worker pool (started on first use).
  static unsigned PoolSize();

private:
  struct sChannelInput {
    cBMPSurface* Image;
    cBMPSurface* Origin;
    int Channel;
  };
  void Run() override { Execute(Host); }
  void Execute(iKernelHost* host);
  // Runs on the main thread once the computation has ended.
  void Finished();

  eQualityIndex Kind;
  cImageMeasures* Owner;
  std::vector<sChannelInput> Inputs;
  sQualitySettings Settings;
  double Result = 0.0;
  bool Stopped = false;
  std::vector<double> ChannelResults;
  std::atomic<bool> Terminated{false};
  tCompletion Completion;
  iKernelHost* Host = nullptr;
  // Queued completions hold a weak reference: once this object is gone they do nothing.
  std::shared_ptr<TIQThread*> Self;
};
