#include "kvProcessing/cKvadraServer.h"

#include <stdexcept>

#include "kvMessages/cUserDialogs.h"
#include "kvOperations/cOperationPool.h"
#include "kvProcessing/cKvadraServerMessenger.h"
#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvKernel_bpl\\kvProcessing\\cKvadraServer");

cKvadraServer* KvadraServer = nullptr;

namespace {
constexpr unsigned ProgressInterval = 100;
}

cKvadraServer::cKvadraServer(cImageStorage* storage, iKernelHost* host) : Storage(storage), Host(host)
{
  KV_ASSERT(Storage != nullptr, "Storage != NULL");
  KV_ASSERT(Host != nullptr, "Host != NULL");
  ResultImage = Storage->CreateImage();
  // A measure that arrives in the background changes what the history shows.
  cImage::SetChangeListener([] { cKvadraServerMessenger::PostHistoryChanged(); });
}

cKvadraServer::~cKvadraServer()
{
  cImage::SetChangeListener(nullptr);
  if (Worker) {
    Worker->Terminate();
    Worker->WaitFor();
  }
  Worker.reset();
  if (Ticket) Ticket->Server = nullptr;
  StopProgressTimer();
  Storage->DeleteImage(ResultImage);
  ResultImage = nullptr;
  DeleteAllSavedImage();
}

cImage* cKvadraServer::GetImage(int index) const
{
  if (index == -1) return nullptr;
  if (index < 0) throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return ImageList.at(size_t(index));
}

void cKvadraServer::GetImageSizes(int& width, int& height) const
{
  KV_ASSERT(!ImageList.empty(), "ImageList->Count > 0");
  width = ImageList[0]->GetWidth();
  height = ImageList[0]->GetHeight();
}

void cKvadraServer::AppendToHistory(cImage* theImage)
{
  ImageList.push_back(theImage);
  CurrentImageID = int(ImageList.size()) - 1;
  if (OriginID == -1) OriginID = CurrentImageID;
  cKvadraServerMessenger::SendHistoryChanged();
}

void cKvadraServer::AddResultToHistory()
{
  AppendToHistory(ResultImage);
  ResultImage = Storage->CreateChildImage(ImageList.back());
}

bool cKvadraServer::LoadImage(const std::string& fileName)
{
  // A running worker writes into the result image; it has to end first.
  SettleWorker();
  Busy = true;
  if (!ResultImage->LoadImage(fileName)) {
    Busy = false;
    // A reason the user can act on (the picture is over the pixel limit) goes on a second line.
    const std::string& reason = ResultImage->GetLoadError();
    cUserDialogs::ShowMessage("Can not load image '" + fileName + "'." + (reason.empty() ? "" : "\n" + reason));
    return false;
  }
  if (CurrentImageID < 0) {
    ResultImage->CalculateProperties(nullptr);
    AddResultToHistory();
    Busy = false;
    cKvadraServerMessenger::PostImageLoaded();
    return true;
  }
  cImage* last = ImageList.back();
  if (ResultImage->GetWidth() == last->GetWidth() && ResultImage->GetHeight() == last->GetHeight() &&
      ResultImage->GetChannelsCount() == last->GetChannelsCount()) {
    ResultImage->CalculateProperties(GetImage(OriginID));
    AddResultToHistory();
    cKvadraServerMessenger::SendCurrentImageChanged();
  } else if (!cUserDialogs::Confirm(std::string("The loaded image has diffenent") + " geometric properties." + "\r" +
                                    "The history will be purged." + "\r\r" + "Do you want to load image anyway?")) {
    Storage->DeleteImage(ResultImage);
    ResultImage = Storage->CreateImage();
    Busy = false;
    return false;
  } else {
    DeleteAllSavedImage();
    ResultImage->CalculateProperties(nullptr);
    AddResultToHistory();
    cKvadraServerMessenger::SendOriginReplaced();
  }
  Busy = false;
  return true;
}

bool cKvadraServer::SaveCurrentImage(const std::string& fileName)
{
  cImage* current = GetCurrentImage();
  if (!current) {
    cUserDialogs::ShowMessage("KVImage::SaveImage() Nothing to Save!");
    return false;
  }
  Busy = true;
  const bool saved = current->SaveImage(fileName);
  Busy = false;
  if (!saved) cUserDialogs::ShowMessage("Can not save image '" + fileName + "'.");
  return saved;
}

void cKvadraServer::SelectedFilterExecute(bool save)
{
  // The previous worker is ended (and its end handled) before this run touches anything.
  SettleWorker();
  Worker.reset();

  acOperation* resultOperation = OperationPool->LookForOperationByUID(SelectedOperationUID);
  KV_ASSERT(resultOperation != nullptr, "ResultOperation!=NULL");
  cImage* source = GetCurrentImage();
  // A front end may ask for a preview while no picture is loaded: there is nothing to run.
  if (!source) return;
  SaveResult = save;
  resultOperation->SetInterfaces(source, ResultImage);
  RunWholeImage = resultOperation->RunWholeImage;

  Ticket = std::make_shared<sRunTicket>();
  Ticket->Server = this;
  Ticket->Pending = true;
  std::shared_ptr<sRunTicket> ticket = Ticket;
  iKernelHost* host = Host;
  Worker = std::make_unique<FilterThread>(resultOperation, [host, ticket]() {
    host->PostWork([ticket]() {
      if (ticket->Server && ticket->Pending) ticket->Server->OnTerminate();
    });
  });

  Busy = true;
  StopProgressTimer();
  ProgressTimer = Host->StartTimer(ProgressInterval, [this]() { OnProgressTimer(); });
  cKvadraServerMessenger::DirectFiltrationStarted();
  Worker->Start();
}

void cKvadraServer::OnProgressTimer()
{
  const int percent = ResultImage->PercentDone.load(std::memory_order_relaxed);
  KV_ASSERT(percent <= 100, "ResultImage->PercentDone<=100");
  cKvadraServerMessenger::DirectFiltrationProgress(unsigned(percent < 0 ? 0 : percent));
}

void cKvadraServer::StopProgressTimer()
{
  if (ProgressTimer != 0) Host->StopTimer(ProgressTimer);
  ProgressTimer = 0;
}

void cKvadraServer::OnTerminate()
{
  Ticket->Pending = false;
  FilterThread* worker = Worker.get();
  if (worker->Failed) cUserDialogs::ShowMessage(worker->ErrorText);
  if (worker->WasTerminated) {
    SaveResult = false;
    cKvadraServerMessenger::SendFiltrationTerminated();
  } else {
    const bool totalVariation = worker->Operation->GetTotalVariation();
    if (RunWholeImage) ResultImage->CalculateProperties(totalVariation ? nullptr : GetImage(OriginID));
    if (SaveResult) {
      if (totalVariation) {
        DeleteAllSavedImage();
        AddResultToHistory();
        cKvadraServerMessenger::SendOriginReplaced();
      } else {
        AddResultToHistory();
        cKvadraServerMessenger::SendCurrentImageChanged();
      }
    } else {
      cKvadraServerMessenger::SendCurrentImageChanged();
    }
    cKvadraServerMessenger::SendFiltrationFinished(SaveResult);
  }
  Busy = false;
  StopProgressTimer();
  kvDebugOutput("[On terminate event]");
}

void cKvadraServer::SettleWorker()
{
  if (!Worker) return;
  Worker->Terminate();
  Worker->WaitFor();
  if (Ticket && Ticket->Pending) OnTerminate();
}

void cKvadraServer::TerminateOperation()
{
  SettleWorker();
}

bool cKvadraServer::DeleteLastSavedImage()
{
  const int n = int(ImageList.size());
  if (n == 0) {
    cUserDialogs::ShowMessage("Error in KvadraServer::DeleteLastSavedImage() Nothing to delete!");
    return false;
  }
  if (CurrentImageID == n - 1) --CurrentImageID;
  Storage->DeleteImage(ImageList.back());
  ImageList.pop_back();
  // An empty history has no origin.
  if (ImageList.empty()) OriginID = -1;
  return true;
}

void cKvadraServer::Undo()
{
  SettleWorker();
  if (!DeleteLastSavedImage()) return;
  cKvadraServerMessenger::SendHistoryChanged();
  cKvadraServerMessenger::SendCurrentImageChanged();
}

void cKvadraServer::DeleteAllSavedImage()
{
  SettleWorker();
  while (!ImageList.empty()) DeleteLastSavedImage();
  OriginID = -1;
  // The current entry is gone whichever it was.
  CurrentImageID = -1;
  cKvadraServerMessenger::SendImageClosed();
}

void cKvadraServer::SetCurrentImageID(int id)
{
  if (id < -1 || id >= int(ImageList.size()))
    throw std::out_of_range("List index out of bounds (" + std::to_string(id) + ")");
  CurrentImageID = id;
  cKvadraServerMessenger::SendCurrentImageChanged();
}

void cKvadraServer::SetResultRegion(bool wholeImage, const sRect& rect)
{
  SettleWorker();
  ResultImage->SetWholeImage(wholeImage);
  ResultImage->SetProcessingRect(rect);
}

void cKvadraServer::SetResultWholeImage(bool wholeImage)
{
  SettleWorker();
  ResultImage->SetWholeImage(wholeImage);
}
