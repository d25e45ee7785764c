#pragma once
// Runs experiments: one parameter of a corrupting operation is swept over a range, every
// corrupted picture is restored by each chosen restoration, and the quality of each restored
// picture against the uncorrupted reference becomes one point of that restoration's curve.
// Driven from the main thread; every picture made is appended to the history there. A front
// end may give a runner that carries each operation (and each measurement) elsewhere, e.g. on a
// thread while its window stays responsive; the history, the messages and the user dialogs stay
// on the calling thread.
//
// Results are kept per series: point k of every series belongs to sweep value k, and a series
// holds every point whose restoration finished, in sweep order, with no gaps. After a complete
// run every series has GetSweepLength() points; after a cancel or a failed operation the
// series restored before the stop at its sweep value have one point more than the others
// (nothing measured is thrown away). Read series S up to GetSeriesLenght(S) only.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kvImages/cImage.h"
#include "kvOperations/cOperationParams.h"

class cImageStorage;
class cKvadraServer;

struct sCorruptionSeriesInfo {
  uint32_t OperationUID = 0;
  uint32_t ParameterIndex = 0;
  double Minimum = 0.0;
  double Maximum = 0.0;
  uint32_t Steps = 0;
  // When not empty, the sweep takes exactly these values in this order (a paper's noise
  // levels, e.g. 15, 25, 50); Minimum, Maximum and Steps are then not used.
  std::vector<double> Values;
};

struct sSeriesPoint {
  double x = 0.0;
  double y = 0.0;
};

using tAnalyzerSeries = std::vector<sSeriesPoint>;

// Runs work (one operation or one measurement of an experiment) and returns when it has ended.
// The work touches only the pictures of the experiment, never the history nor the messages.
using tAnalyzerRunner = std::function<void(const std::function<void()>& work)>;

class cAnalyzer {
public:
  cAnalyzer(cImageStorage* storage, cKvadraServer* server);
  // Deletes the reference pictures of all experiments (history entries were measured
  // against them, so they live as long as the analyzer).
  ~cAnalyzer();
  cAnalyzer(const cAnalyzer&) = delete;
  cAnalyzer& operator=(const cAnalyzer&) = delete;

  void AddCorruptionSeries(sCorruptionSeriesInfo info);
  void AddRestoration(unsigned uid);
  // Ignored while an experiment runs (its series are being filled).
  void Clear();
  // Refuses, with a message to the user, when no picture is loaded; ignored when called again
  // while an experiment runs (from a window reacting to its messages).
  void Execute();
  // An empty runner runs the work in place.
  void SetRunner(tAnalyzerRunner runner) { Runner = std::move(runner); }
  bool IsRunning() const { return Running; }

  int GetRestorationCount() const { return int(RestorationParams.size()); }
  std::string GetRestorationNameAt(int index) const;
  unsigned SelectRestorationParams(int index);
  void UpdateParams(int index);

  // One of GetCriteria(); other names record the PSNR.
  void SetCriterion(const std::string& name) { Criteria = {name}; }
  // Several criteria: every restored picture is measured once and gives one value of each.
  // The first is the one GetResultAt reads.
  void SetCriteria(std::vector<std::string> names) { Criteria = std::move(names); }
  const std::vector<std::string>& GetChosenCriteria() const { return Criteria; }
  // "MSE", "PSNR", "IQ", "IQHVS", "SSIM", "Time": what a point can measure.
  static const std::vector<std::string>& GetCriteria();
  static bool IsKnownCriterion(const std::string& name);

  int GetSeriesCount() const { return int(Results.size()); }
  std::string GetSeriesName(int index) const;
  // The points series index holds (see above); for an index without a series, the number of
  // corrupted pictures made.
  int GetSeriesLenght(int index) const;
  // The points series index has measured so far: while an experiment runs, a series holds
  // placeholders (x, 0) for the sweep values still to come; after it, GetSeriesLenght(index).
  int GetPointsMade(int index) const;
  // Requires SampleNo < GetSeriesLenght(SeriesNo).
  void GetResultAt(unsigned SeriesNo, unsigned SampleNo, double& x, double& y) const;
  // The value of chosen criterion number criterion at the same point.
  double GetCriterionValueAt(unsigned SeriesNo, unsigned SampleNo, unsigned criterion) const;
  // The sweep values that have a point in at least one series: the rows of a table of all
  // series (the longest series' length).
  int GetSweepLength() const;
  // Sweep value k as the swept parameter stored it; k < GetSweepLength().
  double GetSweepValueAt(int k) const;

  std::string GetExperimentTitle() const { return "Experiment Results"; }
  std::string GetLeftTitle() const { return Criteria.empty() ? std::string() : Criteria.front(); }
  std::string GetBottomTitle() const { return BottomTitle; }
  std::string GetOperationTitle() const { return OperationTitle; }
  const sCorruptionSeriesInfo& GetCorruptionSeries() const { return CorruptionSeries; }

  // Asks a running experiment to stop before its next operation; may be called from an
  // observer during the experiment or from any other thread. Execute clears it when it starts.
  void Cancel() { CancelRequested.store(true); }
  // Whether the last experiment ended early (cancelled or an operation failed).
  bool WasCancelled() const { return Cancelled; }
  // Why an operation of the last experiment failed and ended it; empty when none failed.
  const std::string& GetFailure() const { return Failure; }

private:
  // Applies params to its operation and runs it from source into result on this thread;
  // false when the operation threw or stopped itself (the user has been told; Failure says why).
  bool RunOperation(const cOperationParams& params, cImage* source, cImage* result);
  void RunWork(const std::function<void()>& work);
  // Measures restored against reference once (through the runner) and returns the value of
  // every chosen criterion.
  std::vector<double> Measure(cImage* restored, cImage* reference);
  static double CriterionValue(cImage* restored, const std::string& criterion);
  void ExecuteSweep(cImage* reference);
  // The corruption's parameter sets, one per sweep value (into CorruptionParams), and the sweep's
  // points with the values the runs will use.
  tAnalyzerSeries BuildSweep(cOperationParams& corruptingParams, cOperationParameter& swept);
  // Corrupts the reference with sweep value f and restores it with every restoration; false when
  // the experiment ended there (stopped or failed).
  bool RunSweepValue(size_t f, cImage* reference);
  bool StopRequested();
  // Ends the experiment early: corruptionSteps pictures were corrupted, series j holds
  // PointsMade[j] points.
  void Truncate(size_t corruptionSteps);

  std::vector<cOperationParams> CorruptionParams;
  std::vector<cOperationParams> RestorationParams;
  std::vector<std::string> SeriesNames;
  std::vector<unsigned> RestorationUIDs;
  std::vector<tAnalyzerSeries> Results;
  // [series][sample][criterion], beside Results (which holds the first criterion).
  std::vector<std::vector<std::vector<double>>> CriterionValues;
  sCorruptionSeriesInfo CorruptionSeries;
  std::vector<std::string> Criteria;
  std::string BottomTitle = "empty";
  std::string OperationTitle = "empty";

  std::vector<size_t> PointsMade;
  tAnalyzerRunner Runner;
  bool Running = false;
  std::vector<cImage*> References;
  std::atomic<bool> CancelRequested{false};
  bool Cancelled = false;
  std::string Failure;
  cImageStorage* Storage;
  cKvadraServer* Server;
};
