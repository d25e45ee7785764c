#include "kvMessages/cMessenger.h"

#include <atomic>

#include "kvMessages/cObservableSubject.h"
#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvKernel_bpl\\kvMessages\\cMessenger");

namespace {
std::atomic<iKernelHost*> Host{nullptr};

sMessage MakeMessage(uint32_t id, int32_t wParam, int32_t lParam)
{
  sMessage m;
  m.Msg = id;
  m.WParam = wParam;
  m.LParam = lParam;
  return m;
}
}  // namespace

void cMessenger::SetHost(iKernelHost* host)
{
  Host.store(host);
}

iKernelHost* cMessenger::GetHost()
{
  return Host.load();
}

void cMessenger::Send(uint32_t id, int32_t wParam, int32_t lParam)
{
  iKernelHost* host = Host.load();
  if (!host) return;
  sMessage m = MakeMessage(id, wParam, lParam);
  host->SendMessage(m);
}

void cMessenger::Post(uint32_t id, int32_t wParam, int32_t lParam)
{
  iKernelHost* host = Host.load();
  if (!host) return;
  sMessage m = MakeMessage(id, wParam, lParam);
  host->PostMessage(m);
}

void cMessenger::Direct(uint32_t id, int32_t wParam, int32_t lParam)
{
  KV_ASSERT(ObservableSubject != nullptr, "ObservableSubject != NULL");
  sMessage m = MakeMessage(id, wParam, lParam);
  ObservableSubject->HandleMessage(m);
}
