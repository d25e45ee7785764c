#include "kvFacade/cKvadraSystem.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "kvMessages/cMessenger.h"
#include "kvMessages/cObservableSubject.h"
#include "kvOperations/cOperationPool.h"
#include "kvProcessing/cImageStorage.h"
#include "kvProcessing/cKvadraServer.h"
#include "kvProcessing/cKvadraServerMessenger.h"
#include "kvRuntime/cuGlobalParameters.h"
#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvKernel_bpl\\cKvadraSystem");

cKvadraSystem* KvadraSystem = nullptr;

cKvadraSystem::cKvadraSystem(iKernelHost* application) : Application(application)
{
  KV_ASSERT(application != nullptr, "application != NULL");
  OperationPool = new cOperationPool;
  ImageStorage = new cImageStorage;
  cMessenger::SetHost(Application);
  ObservableSubject = new cObservableSubject;
  ObservableSubject->AddObserver(this);
  ObservableSubject->Install(Application);
  KvadraServer = new cKvadraServer(ImageStorage, Application);
  Analyzer = new cAnalyzer(ImageStorage, KvadraServer);
  FullPreviewMode = false;
  if (!KvadraSystem) KvadraSystem = this;
}

cKvadraSystem::~cKvadraSystem()
{
  // A run still going executes code of a package that is about to be unloaded.
  if (KvadraServer) KvadraServer->TerminateOperation();
  ObservableSubject->Uninstall();
  delete ObservableSubject;
  ObservableSubject = nullptr;
  delete OperationPool;
  OperationPool = nullptr;
  delete KvadraServer;
  KvadraServer = nullptr;
  delete Analyzer;
  Analyzer = nullptr;
  delete ImageStorage;
  ImageStorage = nullptr;
  cMessenger::SetHost(nullptr);
  if (KvadraSystem == this) KvadraSystem = nullptr;
}

cKvadraServer* cKvadraSystem::Server() const
{
  KV_ASSERT(KvadraServer != nullptr, "KvadraServer != NULL");
  return KvadraServer;
}

void cKvadraSystem::Update(sMessage& message)
{
  if (message.Msg != GLOBAL_PARAMETERS_CHANGED || !GlobalParams->CriteriaSettingsChanged) return;
  cKvadraServer* server = Server();
  for (int i = 0; i < server->GetImagesCount(); ++i) server->GetImage(i)->RemoveIQ();
  GlobalParams->CriteriaSettingsChanged = false;
}

void cKvadraSystem::AddObserver(iObserver* observer)
{
  ObservableSubject->AddObserver(observer);
}

// --- Plug-ins and operations ---

void cKvadraSystem::LoadPlugIns(const std::string& folder)
{
  namespace fs = std::filesystem;
  std::error_code error;
  std::vector<fs::path> packages;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (it->path().extension() == ".so" && it->is_regular_file(error)) packages.push_back(it->path());
  }
  if (error) kvDebugOutput("Plug-in folder '" + folder + "': " + error.message());
  std::sort(packages.begin(), packages.end(),
            [](const fs::path& a, const fs::path& b) { return a.filename().string() < b.filename().string(); });
  for (const fs::path& package : packages) OperationPool->LoadOperationsFromPackage(package.string());
}

void cKvadraSystem::GetOperationGroupAndName(unsigned uid, std::string& group, std::string& name, std::string& type)
{
  OperationPool->GetOperationGroupAndName(uid, group, name, type);
}

cOperationParams* cKvadraSystem::GetOperationParams(unsigned uid)
{
  return OperationPool->LookForOperationByUID(uid)->GetParams();
}

unsigned cKvadraSystem::GetOperationsCount() const
{
  return OperationPool->GetOperationsCount();
}

unsigned cKvadraSystem::FindOperationUID(const std::string& name) const
{
  return OperationPool->FindUIDByName(name);
}

void cKvadraSystem::SelectOperation(unsigned uid)
{
  Server()->SelectedOperationUID = uid;
}

unsigned cKvadraSystem::GetSelectedOperation() const
{
  return Server()->SelectedOperationUID;
}

void cKvadraSystem::SelectedFilterExecute(bool save)
{
  Server()->SelectedFilterExecute(save);
}

void cKvadraSystem::TerminateOperation()
{
  Server()->TerminateOperation();
}

bool cKvadraSystem::IsBusy() const
{
  return Server()->IsBusy();
}

bool cKvadraSystem::GetRGBOnly(unsigned uid)
{
  acOperation* resultOperation = OperationPool->LookForOperationByUID(uid);
  KV_ASSERT(resultOperation != nullptr, "ResultOperation!=NULL");
  return resultOperation->GetRGBOnly();
}

void cKvadraSystem::GetTotalVariationAndAutoForm(unsigned uid, bool& totalVariation, bool& autoForm)
{
  acOperation* resultOperation = OperationPool->LookForOperationByUID(uid);
  KV_ASSERT(resultOperation != nullptr, "ResultOperation!=NULL");
  totalVariation = resultOperation->GetTotalVariation();
  autoForm = resultOperation->GetFormMode() == 1;
}

// --- Images and history ---

bool cKvadraSystem::LoadImage(const std::string& fileName)
{
  return Server()->LoadImage(fileName);
}

bool cKvadraSystem::SaveCurrentImage(const std::string& fileName)
{
  return Server()->SaveCurrentImage(fileName);
}

void cKvadraSystem::GetImageSizes(int& width, int& height, int& channels)
{
  cKvadraServer* server = Server();
  server->GetImageSizes(width, height);
  cImage* current = server->GetCurrentImage();
  channels = current ? current->GetChannelsCount() : 0;
}

int cKvadraSystem::GetCurrentImageID() const
{
  return Server()->GetCurrentImageID();
}

int cKvadraSystem::GetOriginID() const
{
  return Server()->GetOriginID();
}

void cKvadraSystem::SetCurrentImageID(int id)
{
  Server()->SetCurrentImageID(id);
}

cImage* cKvadraSystem::GetImage(int index) const
{
  return Server()->GetImage(index);
}

int cKvadraSystem::SavedImageCount() const
{
  return Server()->GetImagesCount();
}

cImage* cKvadraSystem::GetResultImage() const
{
  return Server()->GetResultImage();
}

void cKvadraSystem::SetProcessingRegion(bool wholeImage, const sRect& rect)
{
  Server()->SetResultRegion(wholeImage, rect);
}

void cKvadraSystem::SetWholeImage(bool wholeImage)
{
  Server()->SetResultWholeImage(wholeImage);
}

void cKvadraSystem::Undo()
{
  Server()->Undo();
}

void cKvadraSystem::DeleteAllSavedImage()
{
  Server()->DeleteAllSavedImage();
}

void cKvadraSystem::FullPreview(bool on)
{
  FullPreviewMode = on;
  if (!on) cKvadraServerMessenger::SendCurrentImageChanged();
}

cBMPSurface* cKvadraSystem::GetRenderedSurface(const sRect&)
{
  cImage* image = FullPreviewMode ? Server()->GetResultImage() : Server()->GetCurrentImage();
  KV_ASSERT(image != nullptr, "Image != NULL");
  return image->GetSurface();
}

cBMPSurface* cKvadraSystem::GetSpectrumSurface(SpectrumType type, double scale, bool)
{
  cImage* image = Server()->GetCurrentImage();
  KV_ASSERT(image != nullptr, "Image != NULL");
  return image->GetSpectrumBI(type, scale);
}

// --- Analyzer ---

void cKvadraSystem::EnterAnalyzerMode()
{
  Analyzer->Clear();
}
void cKvadraSystem::ExitAnalyzerMode() {}
void cKvadraSystem::AnalyzerClear()
{
  Analyzer->Clear();
}
void cKvadraSystem::AnalyzerAddCorruptionSeries(sCorruptionSeriesInfo info)
{
  Analyzer->AddCorruptionSeries(info);
}
void cKvadraSystem::AnalyzerAddRestoration(unsigned uid)
{
  Analyzer->AddRestoration(uid);
}
void cKvadraSystem::AnalyzerExecute()
{
  Analyzer->Execute();
}
void cKvadraSystem::AnalyzerCancel()
{
  Analyzer->Cancel();
}
void cKvadraSystem::AnalyzerSetRunner(tAnalyzerRunner runner)
{
  Analyzer->SetRunner(std::move(runner));
}
bool cKvadraSystem::AnalyzerIsRunning() const
{
  return Analyzer->IsRunning();
}
int cKvadraSystem::AnalyzerGetPointsMade(int index) const
{
  return Analyzer->GetPointsMade(index);
}
bool cKvadraSystem::AnalyzerWasCancelled() const
{
  return Analyzer->WasCancelled();
}
int cKvadraSystem::AnalyzerGetRestorationCount() const
{
  return Analyzer->GetRestorationCount();
}
int cKvadraSystem::AnalyzerGetSeriesCount() const
{
  return Analyzer->GetSeriesCount();
}
std::string cKvadraSystem::AnalyzerGetRestorationNameAt(int index) const
{
  return Analyzer->GetRestorationNameAt(index);
}
unsigned cKvadraSystem::AnalyzerSelectRestorationParams(int index)
{
  return Analyzer->SelectRestorationParams(index);
}
void cKvadraSystem::AnalyzerUpdateParams(int index)
{
  Analyzer->UpdateParams(index);
}
void cKvadraSystem::AnalyzerSetCriterion(const std::string& criterion)
{
  Analyzer->SetCriterion(criterion);
}
void cKvadraSystem::AnalyzerSetCriteria(const std::vector<std::string>& criteria)
{
  Analyzer->SetCriteria(criteria);
}
std::vector<std::string> cKvadraSystem::AnalyzerGetCriteria() const
{
  return Analyzer->GetChosenCriteria();
}
double cKvadraSystem::AnalyzerGetCriterionValueAt(unsigned series, unsigned sample, unsigned criterion) const
{
  return Analyzer->GetCriterionValueAt(series, sample, criterion);
}
std::string cKvadraSystem::AnalyzerGetSeriesName(int index) const
{
  return Analyzer->GetSeriesName(index);
}
int cKvadraSystem::AnalyzerGetSeriesLenght(int index) const
{
  return Analyzer->GetSeriesLenght(index);
}
void cKvadraSystem::AnalyzerGetResultAt(unsigned series, unsigned sample, double& x, double& y) const
{
  Analyzer->GetResultAt(series, sample, x, y);
}
int cKvadraSystem::AnalyzerGetSweepLength() const
{
  return Analyzer->GetSweepLength();
}
double cKvadraSystem::AnalyzerGetSweepValueAt(int k) const
{
  return Analyzer->GetSweepValueAt(k);
}
std::string cKvadraSystem::AnalyzerGetFailure() const
{
  return Analyzer->GetFailure();
}
std::string cKvadraSystem::AnalyzerGetExperimentTitle() const
{
  return Analyzer->GetExperimentTitle();
}
std::string cKvadraSystem::AnalyzerGetBottomTitle() const
{
  return Analyzer->GetBottomTitle();
}
std::string cKvadraSystem::AnalyzerGetLeftTitle() const
{
  return Analyzer->GetLeftTitle();
}
std::string cKvadraSystem::AnalyzerGetOperationTitle() const
{
  return Analyzer->GetOperationTitle();
}
