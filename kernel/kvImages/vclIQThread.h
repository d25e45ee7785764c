#pragma once
// A background computation of one windowed quality index (IQ, IQHVS or SSIM) of one image:
// the mean over the image's channels of the channel index against the origin. Its inputs
// (surfaces, channels, settings) are taken when it is created, on the main thread; its
// completion handler runs on the main thread through the kernel host's work queue.
// Computations queue on the kernel's worker pool (as many threads as the machine has cores), so a
// history refresh that asks for a hundred indices does not start a hundred threads.
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "kvImages/cChannelProperties.h"
#include "kvProcessing/cWorkerPool.h"

class cImage;
class iKernelHost;

class TIQThread : private cWorkerPool::cJob {
public:
  using tCompletion = std::function<void(TIQThread& sender)>;

  // Created suspended: set the completion handler, then Start.
  TIQThread(eQualityIndex kind, cImage& image);
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
  cImage* GetImage() const { return Image; }
  // The image whose pixels serve as origin (the measured image itself when it has none).
  const cImage* GetOriginImage() const { return OriginImage; }
  double GetResult() const { return Result; }
  bool IsStopped() const { return Stopped; }
  // Channel values behind the result, in channel order.
  const std::vector<double>& GetChannelResults() const { return ChannelResults; }

  // Every live thread that reads image's pixels, as measured image or as origin (main thread).
  static std::vector<TIQThread*> ThreadsReading(const cImage* image);
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
  cImage* Image;
  const cImage* OriginImage;
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
