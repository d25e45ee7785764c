#include "cSplashFormObserver.h"

#include <string>

#include "TSplashForm.h"
#include "cKvadraSystem.h"
#include "kvDiagnostics.h"

KV_UNIT("kvObservers\\cSplashFormObserver");

void cSplashFormObserver::Update(sMessage& message)
{
  KV_ASSERT(message.Msg != VOID_MESSAGE, "Message.Msg != VOID_MESSAGE");
  if (message.Msg != OPERATION_LOADED || !SplashForm) return;
  std::string group, name, type;
  KvadraSystem->GetOperationGroupAndName(unsigned(message.LParam), group, name, type);
  SplashForm->SetSplashStatus(QString::fromLocal8Bit((group + "::" + name).c_str()));
}
