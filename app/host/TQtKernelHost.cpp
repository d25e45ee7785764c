#include "TQtKernelHost.h"

#include <QMetaObject>
#include <QThread>
#include <algorithm>

TQtKernelHost::TQtKernelHost(tWndProc mainWindow, QObject* parent)
    : QObject(parent), WndProc(mainWindow ? std::move(mainWindow) : tWndProc([](sMessage&) {}))
{}

TQtKernelHost::~TQtKernelHost()
{
  for (auto& [id, timer] : Timers) timer->stop();
}

tWndProc TQtKernelHost::GetWndProc() const
{
  return WndProc;
}

void TQtKernelHost::SetWndProc(tWndProc handler)
{
  WndProc = std::move(handler);
}

void TQtKernelHost::SendMessage(sMessage& message)
{
  Q_ASSERT(QThread::currentThread() == thread());
  tWndProc handler = WndProc;  // a handler may replace the chain while it runs
  handler(message);
}

void TQtKernelHost::PostMessage(const sMessage& message)
{
  PostWork([this, message]() {
    sMessage copy = message;
    SendMessage(copy);
  });
}

void TQtKernelHost::PostWork(std::function<void()> work)
{
  // Thread-safe: the invocation is queued as an event for the host's (GUI) thread.
  QMetaObject::invokeMethod(
      this, [work = std::move(work)]() { work(); }, Qt::QueuedConnection);
}

int TQtKernelHost::StartTimer(unsigned intervalMs, std::function<void()> tick)
{
  const int id = NextTimerId++;
  auto* timer = new QTimer(this);
  timer->setTimerType(Qt::PreciseTimer);
  timer->setInterval(int(std::max(1u, intervalMs)));
  connect(timer, &QTimer::timeout, this, [this, id, tick = std::move(tick)]() {
    // The tick may stop its own timer; a stopped timer's queued timeouts are dropped.
    if (Timers.count(id)) tick();
  });
  Timers[id] = timer;
  timer->start();
  return id;
}

void TQtKernelHost::StopTimer(int id)
{
  auto it = Timers.find(id);
  if (it == Timers.end()) return;
  it->second->stop();
  it->second->deleteLater();  // may be inside its own timeout
  Timers.erase(it);
}
