#pragma once
// Where sent and posted kernel messages go: the host standing for the main window.
#include "kvMessages/iKernelHost.h"

class cMessenger {
public:
  static void SetHost(iKernelHost* host);
  static iKernelHost* GetHost();

  // Without a host (a kernel part used on its own) messages go nowhere.
  static void Send(uint32_t id, int32_t wParam = 0, int32_t lParam = 0);
  static void Post(uint32_t id, int32_t wParam = 0, int32_t lParam = 0);
  // Calls the hub's handler directly; the hub must exist.
  static void Direct(uint32_t id, int32_t wParam = 0, int32_t lParam = 0);
};
