#pragma once
// The kernel's host over Qt's event loop: posted work runs as queued invocations on the GUI
// thread, messages are delivered synchronously through the replaceable handler chain there,
// and timers are precise Qt timers that a tick may stop.
#include <QObject>
#include <QTimer>
#include <map>

#include "kvMessages/iKernelHost.h"

class TQtKernelHost : public QObject, public iKernelHost {
  Q_OBJECT
public:
  // mainWindow: the innermost handler (the main window's own); the hub installs itself in front.
  explicit TQtKernelHost(tWndProc mainWindow = nullptr, QObject* parent = nullptr);
  ~TQtKernelHost() override;

  tWndProc GetWndProc() const override;
  void SetWndProc(tWndProc handler) override;
  void SendMessage(sMessage& message) override;
  void PostMessage(const sMessage& message) override;
  void PostWork(std::function<void()> work) override;
  int StartTimer(unsigned intervalMs, std::function<void()> tick) override;
  void StopTimer(int id) override;

private:
  tWndProc WndProc;
  std::map<int, QTimer*> Timers;
  int NextTimerId = 1;
};
