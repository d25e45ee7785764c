#pragma once
// The working state of an interactive session: the history of pictures, the scratch result
// image operations write into, the selected operation and the worker that runs it, and the
// current and origin positions. Everything here runs on the main thread except the worker.
#include <memory>
#include <string>
#include <vector>

#include "kvImages/cImage.h"
#include "kvMessages/iKernelHost.h"
#include "kvProcessing/cImageStorage.h"
#include "kvProcessing/vclFilterThread.h"

class acOperation;

class cKvadraServer {
public:
  // The storage must outlive the server; the host carries the timer and the end-of-run notice.
  cKvadraServer(cImageStorage* storage, iKernelHost* host);
  ~cKvadraServer();
  cKvadraServer(const cKvadraServer&) = delete;
  cKvadraServer& operator=(const cKvadraServer&) = delete;

  // A picture that cannot be read leaves everything as it was and tells the user.
  // Returns whether a picture was loaded into the history.
  bool LoadImage(const std::string& fileName);
  // Returns whether the file was written; a failure is told to the user.
  bool SaveCurrentImage(const std::string& fileName);
  void SelectedFilterExecute(bool save);
  // Stops a running worker and waits; the end-of-run handling has happened when it returns.
  void TerminateOperation();
  void Undo();
  void DeleteAllSavedImage();
  // -1 (none) or a valid history index; anything else throws std::out_of_range.
  void SetCurrentImageID(int id);
  // The region of the next run on the result image. A run still going is stopped and its end
  // handled first: the region a worker took at its start stays the region of its result.
  void SetResultRegion(bool wholeImage, const sRect& rect);
  void SetResultWholeImage(bool wholeImage);

  int GetImagesCount() const { return int(ImageList.size()); }
  // -1 gives nullptr; other indices must be valid (std::out_of_range otherwise).
  cImage* GetImage(int index) const;
  cImage* GetCurrentImage() const { return GetImage(CurrentImageID); }
  cImage* GetResultImage() const { return ResultImage; }
  int GetCurrentImageID() const { return CurrentImageID; }
  int GetOriginID() const { return OriginID; }
  bool IsBusy() const { return Busy; }
  // Width and height of the first history entry; the history must not be empty.
  void GetImageSizes(int& width, int& height) const;
  cImageStorage* GetStorage() const { return Storage; }

  // Appends a picture the storage owns to the history as a saved entry and makes it current.
  void AppendToHistory(cImage* theImage);

  unsigned SelectedOperationUID = 0;

private:
  // Shared between the server and the end notices the worker posts, so that a notice
  // arriving after the handler already ran (or after the server is gone) does nothing.
  struct sRunTicket {
    cKvadraServer* Server = nullptr;
    bool Pending = false;
  };

  void AddResultToHistory();
  bool DeleteLastSavedImage();
  void OnProgressTimer();
  void OnTerminate();
  // Ends a worker that is still there: stop request, wait, pending end-of-run handling.
  void SettleWorker();
  void StopProgressTimer();

  std::vector<cImage*> ImageList;
  std::unique_ptr<FilterThread> Worker;
  std::shared_ptr<sRunTicket> Ticket;
  int ProgressTimer = 0;
  cImage* ResultImage = nullptr;
  int CurrentImageID = -1;
  int OriginID = -1;
  bool SaveResult = false;
  // Whether the running run covers the whole picture (only then is its result measured).
  bool RunWholeImage = true;
  bool Busy = false;
  cImageStorage* Storage;
  iKernelHost* Host;
};

extern cKvadraServer* KvadraServer;
