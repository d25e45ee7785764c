#pragma once
// What the kernel needs from its front end's main thread: a replaceable "main window" handler
// chain, synchronous delivery to it, posting to the main thread, and a repeating timer.
// The plain event loop implements it for the command-line program and tests; the desktop
// program implements it over its own event loop.
#include <functional>

#include "kvMessages/kvMessages.h"

using tWndProc = std::function<void(sMessage&)>;

class iKernelHost {
public:
  virtual ~iKernelHost() = default;

  virtual tWndProc GetWndProc() const = 0;
  virtual void SetWndProc(tWndProc handler) = 0;
  // Synchronous delivery through the current handler chain (main thread only).
  virtual void SendMessage(sMessage& message) = 0;
  // Queued; delivered later on the main thread through the handler chain current then.
  // May be called from any thread.
  virtual void PostMessage(const sMessage& message) = 0;
  // Runs work later on the main thread. May be called from any thread.
  virtual void PostWork(std::function<void()> work) = 0;
  // A repeating main-thread timer; returns its id (> 0).
  virtual int StartTimer(unsigned intervalMs, std::function<void()> tick) = 0;
  virtual void StopTimer(int id) = 0;
};
