#include "kvAnalysis/cAnalyzer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <exception>

#include "kvAnalysis/cAnalyzerMessenger.h"
#include "kvDiagnostics.h"
#include "kvImages/cImageStorage.h"
#include "kvMessages/cUserDialogs.h"
#include "kvOperations/cOperationPool.h"
#include "kvProcessing/cKvadraServer.h"

KV_UNIT("kvKernel_bpl\\kvAnalysis\\cAnalyzer");

namespace {
std::string NameWithInfo(const cOperationParams& params)
{
  return params.GetName() + " " + params.GetShortInfo();
}
}  // namespace

cAnalyzer::cAnalyzer(cImageStorage* storage, cKvadraServer* server) : Storage(storage), Server(server)
{
  KV_ASSERT(Storage != nullptr, "Storage != NULL");
  KV_ASSERT(Server != nullptr, "Server != NULL");
}

cAnalyzer::~cAnalyzer()
{
  for (cImage* reference : References) Storage->DeleteImage(reference);
}

void cAnalyzer::AddCorruptionSeries(sCorruptionSeriesInfo info)
{
  CorruptionSeries = info;
}

void cAnalyzer::AddRestoration(unsigned uid)
{
  acOperation* operation = OperationPool->LookForOperationByUID(uid);
  RestorationParams.push_back(*operation->GetParams());
  RestorationUIDs.push_back(uid);
  SeriesNames.push_back(NameWithInfo(RestorationParams.back()));
}

void cAnalyzer::Clear()
{
  if (Running) return;
  CorruptionParams.clear();
  SeriesNames.clear();
  RestorationParams.clear();
  RestorationUIDs.clear();
  Results.clear();
  PointsMade.clear();
}

std::string cAnalyzer::GetRestorationNameAt(int index) const
{
  return NameWithInfo(RestorationParams.at(size_t(index)));
}

unsigned cAnalyzer::SelectRestorationParams(int index)
{
  RestorationParams.at(size_t(index)).ApplyToOperation();
  return RestorationUIDs.at(size_t(index));
}

void cAnalyzer::UpdateParams(int index)
{
  acOperation* operation = OperationPool->LookForOperationByUID(RestorationUIDs.at(size_t(index)));
  RestorationParams.at(size_t(index)) = *operation->GetParams();
}

const std::vector<std::string>& cAnalyzer::GetCriteria()
{
  static const std::vector<std::string> criteria = {"MSE", "PSNR", "IQ", "IQHVS", "SSIM", "Time"};
  return criteria;
}

bool cAnalyzer::IsKnownCriterion(const std::string& name)
{
  const auto& criteria = GetCriteria();
  return std::find(criteria.begin(), criteria.end(), name) != criteria.end();
}

std::string cAnalyzer::GetSeriesName(int index) const
{
  return SeriesNames.at(size_t(index));
}

int cAnalyzer::GetSeriesLenght(int index) const
{
  if (index >= 0 && size_t(index) < Results.size()) return int(Results[size_t(index)].size());
  return int(CorruptionParams.size());
}

int cAnalyzer::GetSweepLength() const
{
  size_t longest = 0;
  for (const tAnalyzerSeries& series : Results) longest = std::max(longest, series.size());
  return int(longest);
}

double cAnalyzer::GetSweepValueAt(int k) const
{
  KV_ASSERT(k >= 0 && k < GetSweepLength(), "k>=0 && k<GetSweepLength()");
  return CorruptionParams[size_t(k)].GetParam(CorruptionSeries.ParameterIndex)->GetReal();
}

void cAnalyzer::GetResultAt(unsigned SeriesNo, unsigned SampleNo, double& x, double& y) const
{
  KV_ASSERT(SeriesNo < Results.size(), "SeriesNo<Results.size()");
  KV_ASSERT(SampleNo < Results.at(SeriesNo).size(), "SampleNo<Results.at(SeriesNo).size()");
  x = Results[SeriesNo][SampleNo].x;
  y = Results[SeriesNo][SampleNo].y;
}

int cAnalyzer::GetPointsMade(int index) const
{
  if (index < 0 || size_t(index) >= PointsMade.size()) return 0;
  return int(PointsMade[size_t(index)]);
}

double cAnalyzer::CriterionValue(cImage* restored)
{
  if (Criterion == "MSE") return restored->GetMSE();
  if (Criterion == "IQ") return restored->CalculateIndexNow(qiIQ);
  if (Criterion == "IQHVS") return restored->CalculateIndexNow(qiIQHVS);
  if (Criterion == "SSIM") return restored->CalculateIndexNow(qiSSIM);
  if (Criterion == "Time") return double(restored->GetTimeMicroseconds()) / 1000.0;
  return restored->GetPSNR();
}

void cAnalyzer::RunWork(const std::function<void()>& work)
{
  if (Runner)
    Runner(work);
  else
    work();
}

double cAnalyzer::Measure(cImage* restored, cImage* reference)
{
  double value = 0.0;
  RunWork([&] {
    restored->CalculateProperties(reference);
    value = CriterionValue(restored);
  });
  return value;
}

bool cAnalyzer::RunOperation(const cOperationParams& params, cImage* source, cImage* result)
{
  cOperationParams applied(params);
  applied.ApplyToOperation();
  // The parameters belong to the operation they were copied from.
  acOperation* operation = params.GetOperation();
  KV_ASSERT(operation != nullptr, "operation != nullptr");
  operation->SetInterfaces(source, result);
  const tTerminateFlag neverTerminated{false};
  bool threw = true;
  std::string error;
  // Only the operation's own work leaves this thread; the user is told here.
  RunWork([&] {
    try {
      operation->Execute(neverTerminated);
      threw = false;
    } catch (const std::exception& e) {
      error = e.what();
    } catch (...) {}
  });
  if (threw) {
    Failure = error.empty() ? "Unknown error in operation '" + operation->GetName() + "'." : error;
    cUserDialogs::ShowMessage(Failure);
    return false;
  }
  // An operation that cannot do its work (a missing data file) stops itself after telling
  // the user; its picture is the unprocessed copy and must not become a point.
  if (operation->StoppedItself()) {
    Failure = "Operation '" + operation->GetName() + "' stopped before it finished.";
    return false;
  }
  return true;
}

bool cAnalyzer::StopRequested()
{
  return CancelRequested.load();
}

void cAnalyzer::Truncate(size_t corruptionSteps)
{
  Cancelled = true;
  if (corruptionSteps < CorruptionParams.size())
    CorruptionParams.erase(CorruptionParams.begin() + std::ptrdiff_t(corruptionSteps), CorruptionParams.end());
  for (size_t j = 0; j < Results.size(); ++j) Results[j].resize(PointsMade[j]);
}

void cAnalyzer::Execute()
{
  if (Running) {
    kvDebugOutput("[Analyzer already running]");
    return;
  }
  // The operations run here are the pool's; a worker still running one of them must end first.
  Server->TerminateOperation();
  CancelRequested.store(false);
  Cancelled = false;
  Failure.clear();
  CorruptionParams.clear();
  Results.clear();
  PointsMade.clear();
  cImage* current = Server->GetCurrentImage();
  if (!current) {
    Cancelled = true;
    Failure = "Load an image before starting an experiment.";
    cUserDialogs::ShowMessage(Failure);
    return;
  }
  cImage* reference = Storage->CreateChildImage(current);
  References.push_back(reference);
  struct sRunningFlag {
    bool& Flag;
    explicit sRunningFlag(bool& flag) : Flag(flag) { Flag = true; }
    ~sRunningFlag() { Flag = false; }
  } running(Running);
  ExecuteSweep(reference);
}

void cAnalyzer::ExecuteSweep(cImage* reference)
{
  acOperation* corrupting = OperationPool->LookForOperationByUID(CorruptionSeries.OperationUID);
  cOperationParams corruptingParams(*corrupting->GetParams());
  cOperationParameter* swept = corruptingParams.GetParam(CorruptionSeries.ParameterIndex);
  BottomTitle = swept->GetName();
  OperationTitle = corruptingParams.GetName();

  // An integer parameter takes the nearest whole value within its bounds (neighbouring sweep
  // values may meet); the point records the value the run used.
  auto setSwept = [swept](double v) {
    if (swept->GetType() == ptInteger) {
      int low = 0, high = 0;
      swept->GetBounds(low, high);
      swept->SetValue(int(std::clamp<long>(std::lround(v), low, high)));
    } else {
      swept->SetValue(v);
    }
    return swept->GetReal();
  };
  tAnalyzerSeries sweep;
  const double minimum = CorruptionSeries.Minimum, maximum = CorruptionSeries.Maximum;
  if (CorruptionSeries.Steps == 0) {
    // No intervals: the sweep is its first value alone.
    if (minimum <= maximum) {
      const double used = setSwept(minimum);
      CorruptionParams.push_back(corruptingParams);
      sweep.push_back({used, 0.0});
    }
  } else {
    const double step = (maximum - minimum) / CorruptionSeries.Steps;
    for (double v = minimum; v <= maximum; v += step) {
      const double used = setSwept(v);
      CorruptionParams.push_back(corruptingParams);
      sweep.push_back({used, 0.0});
      // A step lost in rounding would never reach the maximum.
      if (v + step == v) break;
    }
  }
  Results.assign(RestorationParams.size(), sweep);
  PointsMade.assign(Results.size(), 0);
  cAnalyzerMessenger::SendAnalyzerSeriesReady();

  for (size_t f = 0; f < CorruptionParams.size(); ++f) {
    if (StopRequested()) return Truncate(f);
    cImage* corrupted = Storage->CreateChildImage(reference);
    if (!RunOperation(CorruptionParams[f], reference, corrupted)) {
      Storage->DeleteImage(corrupted);
      return Truncate(f);
    }
    RunWork([&] { corrupted->CalculateProperties(reference); });
    Server->AppendToHistory(corrupted);

    for (size_t j = 0; j < RestorationParams.size(); ++j) {
      if (StopRequested()) return Truncate(f + 1);
      cImage* restored = Storage->CreateChildImage(corrupted);
      if (!RunOperation(RestorationParams[j], corrupted, restored)) {
        Storage->DeleteImage(restored);
        return Truncate(f + 1);
      }
      KV_ASSERT(Criterion != "", "Criterion!=\"\"");
      const double value = Measure(restored, reference);
      Results[j][f].x = CorruptionParams[f].GetParam(CorruptionSeries.ParameterIndex)->GetReal();
      Results[j][f].y = value;
      PointsMade[j] = f + 1;
      cAnalyzerMessenger::SendAnalyzerPointReady();
      Server->AppendToHistory(restored);
    }
  }
}
