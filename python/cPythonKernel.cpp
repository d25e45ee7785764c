#include "cPythonKernel.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "cAnalyzerResults.h"
#include "cCliError.h"
#include "kvFacade/cKvadraSystem.h"
#include "cOperationCatalog.h"
#include "kvRuntime/cuGlobalParameters.h"
#include "kvRuntime/kvDiagnostics.h"
#include "kvMeasures/cPictureComparison.h"
#include "kvRuntime/kvInstallPaths.h"
#include "kvMessages/cUserDialogs.h"
#include "kvOperations/cOperationPool.h"
#include "kvOperations/cRandomGenerator.h"
#include "kvRuntime/cWorkerPool.h"

namespace fs = std::filesystem;

namespace {

// The folder of the kernel library: the programs' bin/ in a build folder, <prefix>/lib once
// installed; the packages lie where the programs find them from there.
std::string KernelFolder()
{
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&kvPlugInFolder), &info) == 0 || info.dli_fname == nullptr) return ".";
  std::error_code error;
  const fs::path library = fs::canonical(info.dli_fname, error);
  return error ? "." : library.parent_path().string();
}

// Sets the measures' window and constants for one call and puts the previous ones back.
class cMeasureSettingsScope {
public:
  explicit cMeasureSettingsScope(const cPythonKernel::sMeasureSettings& settings)
      : Width(GlobalParams->QualityWindowWidth),
        Height(GlobalParams->QualityWindowHeight),
        K1(GlobalParams->K1),
        K2(GlobalParams->K2)
  {
    GlobalParams->QualityWindowWidth = settings.WindowWidth;
    GlobalParams->QualityWindowHeight = settings.WindowHeight;
    if (settings.K1) GlobalParams->K1 = *settings.K1;
    if (settings.K2) GlobalParams->K2 = *settings.K2;
  }
  ~cMeasureSettingsScope()
  {
    GlobalParams->QualityWindowWidth = Width;
    GlobalParams->QualityWindowHeight = Height;
    GlobalParams->K1 = K1;
    GlobalParams->K2 = K2;
  }
  cMeasureSettingsScope(const cMeasureSettingsScope&) = delete;
  cMeasureSettingsScope& operator=(const cMeasureSettingsScope&) = delete;

private:
  int Width, Height;
  double K1, K2;
};

}  // namespace

cPythonKernel& cPythonKernel::Instance()
{
  static cPythonKernel kernel;
  return kernel;
}

cPythonKernel::cPythonKernel()
{
  // A failed precondition becomes an error of the script instead of ending the interpreter.
  kvSetAssertionHandler([](const std::string& report) { throw cAssertion(report); });
  // The kernel's messages (a refused picture, a failed operation) reach the caller as
  // exceptions; the texts go to stderr only when asked for, as the worker's debug texts do.
  const bool debug = std::getenv("KVADRA_DEBUG") != nullptr;
  cUserDialogs::SetHandlers(
      [debug](const std::string& text) {
        if (debug) std::fprintf(stderr, "kvadra: %s\n", text.c_str());
      },
      [](const std::string&) { return true; });
  kvSetDebugOutputEnabled(debug);
  Loop = std::make_unique<cPlainEventLoop>();
  System = std::make_unique<cKvadraSystem>(Loop.get());
  PlugIns = kvPlugInFolder(KernelFolder());
  System->LoadPlugIns(PlugIns);
}

cPythonKernel::~cPythonKernel()
{
  System.reset();
  Loop.reset();
}

std::string cPythonKernel::OperationsJson()
{
  std::lock_guard<std::mutex> guard(Lock);
  return cOperationCatalog::Json(*System);
}

unsigned cPythonKernel::OperationUID(const std::string& name) const
{
  return cOperationCatalog::FindUID(*System, name, "kvadra.operations() lists them all");
}

unsigned cPythonKernel::Configured(const sOperationSettings& operation)
{
  const unsigned uid = OperationUID(operation.Name);
  cOperationParams probe(*System->GetOperationParams(uid));
  cParameterAssigner::Configure(probe, operation);
  cParameterAssigner::Configure(*System->GetOperationParams(uid), operation);
  return uid;
}

std::unique_ptr<cImage> cPythonKernel::Apply(const cImage& source, const sOperationSettings& operation,
                                             std::optional<uint64_t> seed, const std::optional<sRect>& region)
{
  std::lock_guard<std::mutex> guard(Lock);
  const unsigned uid = Configured(operation);
  acOperation& run = *OperationPool->LookForOperationByUID(uid);
  if (run.GetRGBOnly() && source.GetChannelsCount() != 3)
    throw cCliError::Usage("operation '" + run.GetName() + "' needs a colour picture of shape (H, W, 3)");
  auto result = std::make_unique<cImage>();
  if (region) {
    const sRect& r = *region;
    if (r.Left < 0 || r.Top < 0 || r.Left >= r.Right || r.Top >= r.Bottom || r.Right > source.GetWidth() ||
        r.Bottom > source.GetHeight())
      throw cCliError::Usage("region (" + std::to_string(r.Left) + ", " + std::to_string(r.Top) + ", " +
                             std::to_string(r.Right) + ", " + std::to_string(r.Bottom) + ") does not lie inside the " +
                             std::to_string(source.GetWidth()) + " x " + std::to_string(source.GetHeight()) +
                             " picture (left, top, right, bottom; right and bottom exclusive)");
    result->SetWholeImage(false);
    result->SetProcessingRect(r);
  }
  if (seed)
    cRandomGenerator::SetSeed(*seed);
  else
    cRandomGenerator::ClearSeed();
  // The operation reads the source and writes the result only; the source is ours, a copy.
  run.SetInterfaces(const_cast<cImage*>(&source), result.get());
  // The shared operation keeps no pointers to our images, whatever the run ends with.
  struct sUnbind {
    acOperation& Operation;
    ~sUnbind() { Operation.SetInterfaces(nullptr, nullptr); }
  } unbind{run};
  const tTerminateFlag never{false};
  run.Execute(never);
  if (run.StoppedItself()) throw cCliError::Failure("operation '" + run.GetName() + "' did not complete");
  return result;
}

std::vector<std::pair<std::string, double>> cPythonKernel::Measure(const cImage& image, const cImage& origin,
                                                                   const sMeasureSettings& settings)
{
  std::lock_guard<std::mutex> guard(Lock);
  if (!cPictureComparison::SameGeometry(*image.GetSurface(), *origin.GetSurface()))
    throw cCliError::Usage("the picture (" + cPictureComparison::GeometryText(*image.GetSurface()) +
                           ") does not match the origin (" + cPictureComparison::GeometryText(*origin.GetSurface()) +
                           ")");
  const cMeasureSettingsScope scope(settings);
  // Copies: measuring links the two images, which the caller's must not be.
  cImage measured, reference;
  measured.MakeCopyFrom(image);
  reference.MakeCopyFrom(origin);
  reference.CalculateProperties(nullptr);
  measured.CalculateProperties(&reference);
  std::vector<std::pair<std::string, double>> values = {{"MSE", measured.GetMSE()}, {"PSNR", measured.GetPSNR()}};
  for (const auto& [name, kind] : {std::pair{"IQ", qiIQ}, {"IQHVS", qiIQHVS}, {"SSIM", qiSSIM}})
    values.emplace_back(name, measured.CalculateIndexNow(kind));
  values.emplace_back("Noise sigma", measured.GetNoiseSigma());
  return values;
}

void cPythonKernel::LoadOrigin(const std::string& file)
{
  // A new experiment starts from an empty history, as a new 'kvadra' process does.
  System->DeleteAllSavedImage();
  Loop->RunUntilIdle();
  if (!fs::is_regular_file(file)) throw cFileError("cannot read picture '" + file + "'");
  System->LoadImage(file);
  Loop->RunUntilIdle();
  if (System->SavedImageCount() == 0) throw cFileError(cCliError::LoadFailureText(file, *System->GetResultImage()));
}

cResultTable cPythonKernel::Analyze(const std::string& pictureFile, const sExperiment& experiment)
{
  std::lock_guard<std::mutex> guard(Lock);
  const std::string& corrupt = experiment.Corruption.Name;
  const unsigned corruptionUID = Configured(experiment.Corruption);
  cOperationParams& corruption = *System->GetOperationParams(corruptionUID);
  const int sweepIndex = cParameterAssigner::FindParameter(corruption, experiment.Parameter, corrupt);
  const cOperationParameter& swept = *corruption.GetParam(unsigned(sweepIndex));
  if (swept.GetType() != ptReal && swept.GetType() != ptInteger)
    throw cCliError::Usage("parameter '" + swept.GetName() + "' is " + cParameterAssigner::KindName(swept) +
                           "; only real and integer parameters take values");
  if (experiment.Values.empty()) throw cCliError::Usage("values: give at least one value of '" + swept.GetName() + "'");
  // Every value as a setting would take it: whole values for an integer, inside the bounds.
  for (double value : experiment.Values) {
    cOperationParams probe(corruption);
    cParameterAssigner::AssignValue(*probe.GetParam(unsigned(sweepIndex)), cResultTable::FormatNumber(value), corrupt);
  }
  std::vector<std::string> criteria = experiment.Criteria;
  if (criteria.empty()) criteria.push_back("PSNR");
  for (size_t i = 0; i < criteria.size(); ++i) {
    cOperationCatalog::CheckedCriterion(criteria[i]);
    if (std::find(criteria.begin(), criteria.begin() + long(i), criteria[i]) != criteria.begin() + long(i))
      throw cCliError::Usage("criterion " + criteria[i] + " is given twice");
  }
  std::vector<unsigned> restorations;
  for (const sOperationSettings& restoration : experiment.Restorations) restorations.push_back(Configured(restoration));
  if (experiment.Seed)
    cRandomGenerator::SetSeed(*experiment.Seed);
  else
    cRandomGenerator::ClearSeed();
  LoadOrigin(pictureFile);
  System->EnterAnalyzerMode();
  System->AnalyzerClear();
  sCorruptionSeriesInfo info;
  info.OperationUID = corruptionUID;
  info.ParameterIndex = unsigned(sweepIndex);
  info.Values = experiment.Values;
  System->AnalyzerAddCorruptionSeries(info);
  for (unsigned uid : restorations) System->AnalyzerAddRestoration(uid);
  System->AnalyzerSetCriteria(criteria);
  System->AnalyzerExecute();
  Loop->RunUntilIdle();
  System->ExitAnalyzerMode();
  cResultTable table = cAnalyzerResults::Build(*System);
  const std::string failure = System->AnalyzerGetFailure();
  System->DeleteAllSavedImage();
  Loop->RunUntilIdle();
  if (!failure.empty()) throw cCliError::Failure("the experiment stopped: " + failure);
  return table;
}

std::unique_ptr<cImage> cPythonKernel::Load(const std::string& file)
{
  std::lock_guard<std::mutex> guard(Lock);
  if (!fs::is_regular_file(file)) throw cFileError("cannot read picture '" + file + "'");
  auto picture = std::make_unique<cImage>();
  if (!picture->LoadImage(file)) throw cFileError(cCliError::LoadFailureText(file, *picture));
  return picture;
}

void cPythonKernel::Save(cImage& image, const std::string& file)
{
  const ePictureFormat format = cImage::FormatOfName(file);
  if (format != pfBMP && format != pfPNG) throw cCliError::Usage("save needs a .bmp or .png file, got '" + file + "'");
  std::lock_guard<std::mutex> guard(Lock);
  try {
    // Written beside the target and renamed: never a half-written picture.
    const std::string temporary = cResultTable::TemporaryNameBeside(file);
    if (!image.SaveImage(temporary, format)) {
      std::remove(temporary.c_str());
      throw cFileError("cannot write '" + file + "'");
    }
    cResultTable::CommitTemporary(temporary, file);
  } catch (const cFileError&) {
    throw;
  } catch (const std::runtime_error& e) {
    throw cFileError(e.what());
  }
}

cResultTable cPythonKernel::Analyze(cImage& picture, const sExperiment& experiment)
{
  // The facade takes its origin from a file: the picture goes into a private folder, losslessly.
  std::string pattern = (fs::temp_directory_path() / "kvadra-XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw cFileError("cannot make a temporary folder in " + fs::temp_directory_path().string());
  const fs::path folder(pattern);
  const std::string file = (folder / "picture.bmp").string();
  struct sRemover {
    fs::path Folder;
    ~sRemover()
    {
      std::error_code error;
      fs::remove_all(Folder, error);
    }
  } remover{folder};
  {
    std::lock_guard<std::mutex> guard(Lock);
    if (!picture.SaveImage(file, pfBMP)) throw cFileError("cannot write the picture to '" + file + "'");
  }
  return Analyze(file, experiment);
}

void cPythonKernel::SetThreads(unsigned count)
{
  std::lock_guard<std::mutex> guard(Lock);
  kvSetThreadCount(count);
}

unsigned cPythonKernel::Threads() const
{
  return kvGetThreadCount();
}
