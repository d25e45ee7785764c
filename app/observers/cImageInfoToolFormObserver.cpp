#include "cImageInfoToolFormObserver.h"

#include "TImageInfoToolForm.h"

cImageInfoToolFormObserver::cImageInfoToolFormObserver() : cFormObserver([] { return ImageInfoToolForm != nullptr; })
{
  On({IMAGE_CLOSED, FILTRATION_FINISHED, HISTORY_CHANGED, CURRENT_IMAGE_CHANGED},
     [](const sMessage&) { ImageInfoToolForm->UpdateInfo(); });
}
