#include "cAnalyzer.h"

#include <algorithm>
#include <cstddef>
#include <exception>

#include "cAnalyzerMessenger.h"
#include "cImageStorage.h"
#include "cKvadraServer.h"
#include "cOperationPool.h"
#include "cUserDialogs.h"
#include "kvDiagnostics.h"

#define UNIT "kvKernel_bpl\\kvAnalysis\\cAnalyzer"

namespace {
std::string NameWithInfo(const cOperationParams& params)
{
  return params.GetName() + " " + params.GetShortInfo();
}
}  // namespace

cAnalyzer::cAnalyzer(cImageStorage* storage, cKvadraServer* server) : Storage(storage), Server(server)
{
  KV_ASSERT(Storage != NULL, UNIT);
  KV_ASSERT(Server != NULL, UNIT);
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
  CorruptionParams.clear();
  SeriesNames.clear();
  RestorationParams.clear();
  RestorationUIDs.clear();
  Results.clear();
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

bool cAnalyzer::IsKnownCriterion(const std::string& name)
{
  return name == "MSE" || name == "PSNR" || name == "IQ" || name == "IQHVS" || name == "SSIM" || name == "Time";
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
  KV_ASSERT(k>=0 && k<GetSweepLength(), UNIT);
  return CorruptionParams[size_t(k)].GetParam(CorruptionSeries.ParameterIndex)->GetReal();
}

void cAnalyzer::GetResultAt(unsigned SeriesNo, unsigned SampleNo, double& x, double& y) const
{
  KV_ASSERT(SeriesNo<Results.size(), UNIT);
  KV_ASSERT(SampleNo<Results.at(SeriesNo).size(), UNIT);
  x = Results[SeriesNo][SampleNo].x;
  y = Results[SeriesNo][SampleNo].y;
}

double cAnalyzer::CriterionValue(cImage* restored)
{
  if (Criterion == "MSE") return restored->GetMSE();
  if (Criterion == "IQ") return restored->CalculateIndexNow(qiIQ);
  if (Criterion == "IQHVS") return restored->CalculateIndexNow(qiIQHVS);
  if (Criterion == "SSIM") return restored->CalculateIndexNow(qiSSIM);
  if (Criterion == "Time") return double(restored->GetTime());
  return restored->GetPSNR();
}

bool cAnalyzer::RunOperation(const cOperationParams& params, cImage* source, cImage* result)
{
  cOperationParams applied(params);
  applied.ApplyToOperation();
  acOperation* operation = OperationPool->SelectOperation(params);
  operation->SetInterfaces(source, result);
  const tTerminateFlag neverTerminated{false};
  bool threw = true;
  try {
    operation->Execute(neverTerminated);
    threw = false;
  } catch (const std::exception& error) {
    Failure = error.what();
  } catch (...) {
  }
  if (threw) {
    if (Failure.empty()) Failure = "Unknown error in operation '" + operation->GetName() + "'.";
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

void cAnalyzer::Truncate(size_t corruptionSteps, const std::vector<size_t>& pointsStored)
{
  Cancelled = true;
  if (corruptionSteps < CorruptionParams.size())
    CorruptionParams.erase(CorruptionParams.begin() + std::ptrdiff_t(corruptionSteps), CorruptionParams.end());
  for (size_t j = 0; j < Results.size(); ++j) Results[j].resize(pointsStored[j]);
}

void cAnalyzer::Execute()
{
  // The operations run here are the pool's; a worker still running one of them must end first.
  Server->TerminateOperation();
  CancelRequested.store(false);
  Cancelled = false;
  Failure.clear();
  cImage* reference = Storage->CreateChildImage(Server->GetCurrentImage());
  References.push_back(reference);
  CorruptionParams.clear();
  Results.clear();

  acOperation* corrupting = OperationPool->LookForOperationByUID(CorruptionSeries.OperationUID);
  cOperationParams P(*corrupting->GetParams());
  cOperationParameter* p = P.GetParam(CorruptionSeries.ParameterIndex);
  BottomTitle = p->GetName();
  OperationTitle = P.GetName();

  tAnalyzerSeries sweep;
  const double minimum = CorruptionSeries.Minimum, maximum = CorruptionSeries.Maximum;
  if (CorruptionSeries.Steps == 0) {
    // No intervals: the sweep is its first value alone.
    if (minimum <= maximum) {
      p->SetValue(minimum);
      CorruptionParams.push_back(P);
      sweep.push_back({minimum, 0.0});
    }
  } else {
    const double step = (maximum - minimum) / CorruptionSeries.Steps;
    for (double v = minimum; v <= maximum; v += step) {
      p->SetValue(v);
      CorruptionParams.push_back(P);
      sweep.push_back({v, 0.0});
      // A step lost in rounding would never reach the maximum.
      if (v + step == v) break;
    }
  }
  Results.assign(RestorationParams.size(), sweep);
  cAnalyzerMessenger::SendAnalyzerSeriesReady();

  std::vector<size_t> pointsStored(Results.size(), 0);
  for (size_t f = 0; f < CorruptionParams.size(); ++f) {
    if (StopRequested()) return Truncate(f, pointsStored);
    cImage* corrupted = Storage->CreateChildImage(reference);
    if (!RunOperation(CorruptionParams[f], reference, corrupted)) {
      Storage->DeleteImage(corrupted);
      return Truncate(f, pointsStored);
    }
    corrupted->CalculateProperties(reference);
    Server->AppendToHistory(corrupted);

    for (size_t j = 0; j < RestorationParams.size(); ++j) {
      if (StopRequested()) return Truncate(f + 1, pointsStored);
      cImage* restored = Storage->CreateChildImage(corrupted);
      if (!RunOperation(RestorationParams[j], corrupted, restored)) {
        Storage->DeleteImage(restored);
        return Truncate(f + 1, pointsStored);
      }
      KV_ASSERT(Criterion!="", UNIT);
      restored->CalculateProperties(reference);
      Results[j][f].x = CorruptionParams[f].GetParam(CorruptionSeries.ParameterIndex)->GetReal();
      Results[j][f].y = CriterionValue(restored);
      pointsStored[j] = f + 1;
      cAnalyzerMessenger::SendAnalyzerPointReady();
      Server->AppendToHistory(restored);
    }
  }
}
