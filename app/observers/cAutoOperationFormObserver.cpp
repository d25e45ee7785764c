#include "cAutoOperationFormObserver.h"

#include "TAutoOperationForm.h"
#include "kvFacade/cKvadraSystem.h"

cAutoOperationFormObserver::cAutoOperationFormObserver() : cFormObserver([] { return AutoOperationForm != nullptr; })
{
  On({IMAGE_LOADED, ORIGIN_REPLACED}, [](const sMessage&) {
    int width = 0, height = 0, channels = 0;
    KvadraSystem->GetImageSizes(width, height, channels);
    AutoOperationForm->SetPreviewPlaneSize(width, height);
  });
  On({IMAGE_CLOSED}, [](const sMessage&) { AutoOperationForm->SetPreviewPlaneSize(0, 0); });
  On({FILTRATION_FINISHED}, [](const sMessage&) { AutoOperationForm->RepaintPreview(); });
}
