#include "kvProcessing/vclFilterThread.h"

#include <pthread.h>

#include <exception>

#include "kvRuntime/kvDiagnostics.h"

FilterThread::FilterThread(acOperation* theOperation, std::function<void()> onTerminate)
    : Operation(theOperation), OnTerminate(std::move(onTerminate))
{}

FilterThread::~FilterThread()
{
  Terminate();
  WaitFor();
}

void FilterThread::Start()
{
  if (Thread.joinable() || Finished.load()) return;
  Thread = std::thread([this] { Body(); });
}

void FilterThread::WaitFor()
{
  if (Thread.joinable()) Thread.join();
}

void FilterThread::Body()
{
  kvDebugOutput("[Start in FilterThread]");
  pthread_setname_np(pthread_self(), "FilterTread");
  try {
    Operation->Execute(Terminated);
  } catch (const std::exception& error) {
    Failed = true;
    ErrorText = error.what();
  } catch (...) {
    Failed = true;
    ErrorText = "Unknown error in operation '" + Operation->GetName() + "'.";
  }
  // A failed run ends as a completed one, whatever the stop request says.
  WasTerminated = !Failed && (Terminated.load() || Operation->StoppedItself());
  kvDebugOutput("[Exiting in FilterThread]");
  Finished.store(true);
  if (OnTerminate) OnTerminate();
}
