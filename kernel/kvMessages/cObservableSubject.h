#pragma once
// The hub in front of the main window's handler: hands every kernel message (1025..1124) to
// the observers in registration order, then passes every message on to the old handler.
#include <vector>

#include "kvMessages/iKernelHost.h"
#include "kvMessages/iObserver.h"

class cObservableSubject {
public:
  cObservableSubject() = default;
  ~cObservableSubject();
  cObservableSubject(const cObservableSubject&) = delete;
  cObservableSubject& operator=(const cObservableSubject&) = delete;

  // Puts the hub in front of the host's handler chain, keeping the previous handler.
  void Install(iKernelHost* host);
  // Restores the previous handler.
  void Uninstall();

  void AddObserver(iObserver* observer);
  // The replacement handler of the main window.
  void HandleMessage(sMessage& message);
  int GetObserversCount() const { return int(ObserversList.size()); }

private:
  std::vector<iObserver*> ObserversList;
  tWndProc OldWndProc;
  iKernelHost* Host = nullptr;
};

// The one hub, created and deleted by the system facade.
extern cObservableSubject* ObservableSubject;
