#pragma once
// Messages of the processing server (1035-1044).
namespace cKvadraServerMessenger {
void PostImageLoaded();
void SendImageClosed();
void SendFiltrationTerminated();
void SendFiltrationFinished(bool saved);
void DirectFiltrationStarted();
void SendHistoryChanged();
void PostHistoryChanged();
void DirectFiltrationProgress(unsigned percent);
void SendCurrentImageChanged();
void SendOriginReplaced();
}  // namespace cKvadraServerMessenger
