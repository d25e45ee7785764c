#include "cSplashFormObserver.h"

#include <string>

#include "TSplashForm.h"
#include "kvFacade/cKvadraSystem.h"

cSplashFormObserver::cSplashFormObserver() : cFormObserver([] { return SplashForm != nullptr; })
{
  On({OPERATION_LOADED}, [](const sMessage& m) {
    std::string group, name, type;
    KvadraSystem->GetOperationGroupAndName(unsigned(m.LParam), group, name, type);
    SplashForm->SetSplashStatus(QString::fromLocal8Bit((group + "::" + name).c_str()));
  });
}
