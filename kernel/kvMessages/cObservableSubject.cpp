#include "kvMessages/cObservableSubject.h"

#include <chrono>
#include <thread>

#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvKernel_bpl\\kvMessages\\cObservableSubject");

cObservableSubject* ObservableSubject = nullptr;

cObservableSubject::~cObservableSubject()
{
  Uninstall();
}

void cObservableSubject::Install(iKernelHost* host)
{
  KV_ASSERT(host != nullptr, "host != NULL");
  if (Host) Uninstall();
  Host = host;
  OldWndProc = host->GetWndProc();
  host->SetWndProc([this](sMessage& m) { HandleMessage(m); });
}

void cObservableSubject::Uninstall()
{
  if (!Host) return;
  Host->SetWndProc(OldWndProc);
  Host = nullptr;
}

void cObservableSubject::AddObserver(iObserver* observer)
{
  ObserversList.push_back(observer);
}

void cObservableSubject::HandleMessage(sMessage& message)
{
  KV_ASSERT(static_cast<bool>(OldWndProc), "OldWndProc != NULL");
  if (message.Msg == ANALYZER_POINT_READY) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (message.Msg >= FirstForwardedMessage && message.Msg <= LastForwardedMessage) {
    const size_t count = ObserversList.size();
    for (size_t i = 0; i < count; ++i) ObserversList[i]->Update(message);
  }
  OldWndProc(message);
}
