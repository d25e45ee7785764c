#include "kvAnalysis/cAnalyzer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <exception>

#include "kvAnalysis/cAnalyzerMessenger.h"
#include "kvMessages/cUserDialogs.h"
#include "kvOperations/cOperationPool.h"
#include "kvOperations/cRandomGenerator.h"
#include "kvProcessing/cImageStorage.h"
#include "kvProcessing/cKvadraServer.h"
#include "kvRuntime/kvDiagnostics.h"

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
  CriterionValues.clear();
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

double cAnalyzer::GetCriterionValueAt(unsigned SeriesNo, unsigned SampleNo, unsigned criterion) const
{
  KV_ASSERT(SeriesNo < Results.size(), "SeriesNo<Results.size()");
  KV_ASSERT(SampleNo < Results.at(SeriesNo).size(), "SampleNo<Results.at(SeriesNo).size()");
  KV_ASSERT(criterion < Criteria.size(), "criterion<Criteria.size()");
  return CriterionValues[SeriesNo][SampleNo][criterion];
}

int cAnalyzer::GetPointsMade(int index) const
{
  if (index < 0 || size_t(index) >= PointsMade.size()) return 0;
  return int(PointsMade[size_t(index)]);
}

double cAnalyzer::CriterionValue(cImage* restored, const std::string& criterion)
{
  if (criterion == "MSE") return restored->GetMSE();
  if (criterion == "IQ") return restored->CalculateIndexNow(qiIQ);
  if (criterion == "IQHVS") return restored->CalculateIndexNow(qiIQHVS);
  if (criterion == "SSIM") return restored->CalculateIndexNow(qiSSIM);
  if (criterion == "Time") return double(restored->GetTimeMicroseconds()) / 1000.0;
  return restored->GetPSNR();
}

void cAnalyzer::RunWork(const std::function<void()>& work)
{
  if (Runner)
    Runner(work);
  else
    work();
}

std::vector<double> cAnalyzer::Measure(cImage* restored, cImage* reference)
{
  std::vector<double> values;
  RunWork([&] {
    restored->CalculateProperties(reference);
    for (const std::string& criterion : Criteria) values.push_back(CriterionValue(restored, criterion));
  });
  return values;
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
  for (size_t j = 0; j < Results.size(); ++j) {
    Results[j].resize(PointsMade[j]);
    CriterionValues[j].resize(PointsMade[j]);
  }
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
  CriterionValues.clear();
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
  const tAnalyzerSeries sweep = BuildSweep(corruptingParams, *swept);
  Results.assign(RestorationParams.size(), sweep);
  CriterionValues.assign(RestorationParams.size(),
                         std::vector<std::vector<double>>(sweep.size(), std::vector<double>(Criteria.size(), 0.0)));
  PointsMade.assign(Results.size(), 0);
  cAnalyzerMessenger::SendAnalyzerSeriesReady();

  // With a fixed seed every sweep value draws its noise from a seed of its own, made of the
  // experiment's seed and the value: a value gives the same pictures whichever values are swept
  // with it, so a table can gain a column without its other columns changing.
  const bool seeded = cRandomGenerator::IsDeterministic();
  const uint64_t baseSeed = seeded ? cRandomGenerator::DrawSeed() : 0;
  for (size_t f = 0; f < CorruptionParams.size(); ++f) {
    if (StopRequested()) return Truncate(f);
    if (seeded) {
      const double value = CorruptionParams[f].GetParam(CorruptionSeries.ParameterIndex)->GetReal();
      uint64_t bits = 0;
      std::memcpy(&bits, &value, sizeof bits);
      cRandomGenerator::SetSeed(baseSeed ^ (bits * 0x9E3779B97F4A7C15ull));
    }
    if (!RunSweepValue(f, reference)) return;
  }
}

tAnalyzerSeries cAnalyzer::BuildSweep(cOperationParams& corruptingParams, cOperationParameter& swept)
{
  // An integer parameter takes the nearest whole value within its bounds (neighbouring sweep
  // values may meet); the point records the value the run used.
  tAnalyzerSeries sweep;
  auto add = [&](double v) {
    if (swept.GetType() == ptInteger) {
      int low = 0, high = 0;
      swept.GetBounds(low, high);
      swept.SetValue(int(std::clamp<long>(std::lround(v), low, high)));
    } else {
      swept.SetValue(v);
    }
    CorruptionParams.push_back(corruptingParams);
    sweep.push_back({swept.GetReal(), 0.0});
  };
  const double minimum = CorruptionSeries.Minimum, maximum = CorruptionSeries.Maximum;
  if (!CorruptionSeries.Values.empty()) {
    for (double v : CorruptionSeries.Values) add(v);
  } else if (CorruptionSeries.Steps == 0) {
    // No intervals: the sweep is its first value alone.
    if (minimum <= maximum) add(minimum);
  } else {
    const double step = (maximum - minimum) / CorruptionSeries.Steps;
    for (double v = minimum; v <= maximum; v += step) {
      add(v);
      // A step lost in rounding would never reach the maximum.
      if (v + step == v) break;
    }
  }
  return sweep;
}

bool cAnalyzer::RunSweepValue(size_t f, cImage* reference)
{
  cImage* corrupted = Storage->CreateChildImage(reference);
  if (!RunOperation(CorruptionParams[f], reference, corrupted)) {
    Storage->DeleteImage(corrupted);
    Truncate(f);
    return false;
  }
  RunWork([&] { corrupted->CalculateProperties(reference); });
  Server->AppendToHistory(corrupted);

  for (size_t j = 0; j < RestorationParams.size(); ++j) {
    if (StopRequested()) {
      Truncate(f + 1);
      return false;
    }
    cImage* restored = Storage->CreateChildImage(corrupted);
    if (!RunOperation(RestorationParams[j], corrupted, restored)) {
      Storage->DeleteImage(restored);
      Truncate(f + 1);
      return false;
    }
    KV_ASSERT(!Criteria.empty() && Criteria.front() != "", "Criterion!=\"\"");
    const std::vector<double> values = Measure(restored, reference);
    Results[j][f].x = CorruptionParams[f].GetParam(CorruptionSeries.ParameterIndex)->GetReal();
    Results[j][f].y = values.front();
    CriterionValues[j][f] = values;
    PointsMade[j] = f + 1;
    cAnalyzerMessenger::SendAnalyzerPointReady();
    Server->AppendToHistory(restored);
  }
  return true;
}
