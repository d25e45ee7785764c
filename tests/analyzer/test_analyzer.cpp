// Experiments through the facade: the sweep, series names, the recorded criterion, the
// pictures appended to the history, the messages, and cancelling.
#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

#include "FacadeFixture.h"
#include "ParamSupport.h"
#include "kvAnalysis/cAnalyzer.h"
#include "kvOperations/cRandomGenerator.h"

namespace {

using kvtest::FacadeFixture;
using IdList = std::vector<uint32_t>;

class Analyzer : public FacadeFixture {
protected:
  void SetUp() override
  {
    FacadeFixture::SetUp();
    LoadPackages();
    // A flat grey picture: shifting it by a is an error of exactly a everywhere.
    LoadAndSettle(WritePicture("flat.bmp", 16, 12, 1, [](int, int, int) { return uint8_t(100); }));
    Forget();
    System->EnterAnalyzerMode();
  }

  // Sweeps "Amount" of the shift from minimum to maximum.
  void Sweep(double minimum, double maximum, uint32_t steps)
  {
    sCorruptionSeriesInfo info;
    info.OperationUID = Uid("Test Shift");
    info.ParameterIndex = 0;
    info.Minimum = minimum;
    info.Maximum = maximum;
    info.Steps = steps;
    System->AnalyzerAddCorruptionSeries(info);
  }

  std::vector<double> Xs(unsigned series)
  {
    std::vector<double> xs;
    for (int i = 0; i < System->AnalyzerGetSeriesLenght(int(series)); ++i) {
      double x = 0, y = 0;
      System->AnalyzerGetResultAt(series, unsigned(i), x, y);
      xs.push_back(x);
    }
    return xs;
  }
  double Y(unsigned series, unsigned sample)
  {
    double x = 0, y = 0;
    System->AnalyzerGetResultAt(series, sample, x, y);
    return y;
  }
  int Count(uint32_t id) const
  {
    int n = 0;
    for (const sMessage& m : Observer.Messages) n += m.Msg == id;
    return n;
  }
};

TEST_F(Analyzer, SweepByRepeatedAdditionGivesEveryValueForEverySeries)
{
  Sweep(0, 10, 5);
  System->AnalyzerAddRestoration(Uid("Test Copy"));
  System->AnalyzerAddRestoration(Uid("Invert"));
  System->AnalyzerSetCriterion("PSNR");
  System->AnalyzerExecute();
  ASSERT_EQ(System->AnalyzerGetSeriesCount(), 2);
  const std::vector<double> expected{0, 2, 4, 6, 8, 10};
  EXPECT_EQ(Xs(0), expected);
  EXPECT_EQ(Xs(1), expected);
  EXPECT_EQ(System->AnalyzerGetBottomTitle(), "Amount");
  EXPECT_EQ(System->AnalyzerGetLeftTitle(), "PSNR");
  EXPECT_EQ(System->AnalyzerGetOperationTitle(), "Test Shift");
  EXPECT_FALSE(System->AnalyzerWasCancelled());
  // Every picture goes to the history: per step one corrupted and two restored.
  EXPECT_EQ(System->SavedImageCount(), 1 + 6 * 3);
  EXPECT_EQ(System->GetCurrentImageID(), 18);
  EXPECT_EQ(System->GetImage(1)->GetTitle(), "Test Shift (A=0)");
  EXPECT_EQ(System->GetImage(2)->GetTitle(), "Test Copy (WS=3)");
  EXPECT_EQ(kvtest::Pixel(*System->GetImage(4)->GetSurface(), 0, 0), 102);  // step 2: shifted by 2
  EXPECT_EQ(kvtest::Pixel(*System->GetImage(6)->GetSurface(), 0, 0), 255 - 102);
  // The corrupting operation keeps the last swept value.
  EXPECT_DOUBLE_EQ(kvtest::Param(*System->GetOperationParams(Uid("Test Shift")), "Amount", "Test Shift").GetReal(),
                   10.0);
}

TEST_F(Analyzer, MessagesAnnounceTheSeriesOnceAndEveryPoint)
{
  Sweep(0, 10, 2);
  System->AnalyzerAddRestoration(Uid("Test Copy"));
  System->AnalyzerSetCriterion("PSNR");
  System->AnalyzerExecute();
  const IdList step{HISTORY_CHANGED, ANALYZER_POINT_READY, HISTORY_CHANGED};
  IdList expected{ANALYZER_SERIES_READY};
  for (int i = 0; i < 3; ++i) expected.insert(expected.end(), step.begin(), step.end());
  EXPECT_EQ(Ids(), expected);
}

TEST_F(Analyzer, WithoutRestorationsEveryStepStillCorruptsAndIsSaved)
{
  Sweep(0, 10, 5);
  System->AnalyzerExecute();  // no criterion needed when nothing is restored
  EXPECT_EQ(System->AnalyzerGetSeriesCount(), 0);
  EXPECT_EQ(System->AnalyzerGetSeriesLenght(0), 6);
  EXPECT_EQ(System->SavedImageCount(), 7);
  EXPECT_EQ(Count(ANALYZER_SERIES_READY), 1);
  EXPECT_EQ(Count(ANALYZER_POINT_READY), 0);
  EXPECT_EQ(kvtest::Pixel(*System->GetImage(6)->GetSurface(), 3, 3), 110);
}

TEST_F(Analyzer, UnevenSweepsAndDegenerateRanges)
{
  System->AnalyzerAddRestoration(Uid("Test Copy"));
  System->AnalyzerSetCriterion("Time");
  // Six additions of 1.3 / 6 overshoot 1.3 in double arithmetic: the last value is lost.
  Sweep(0, 1.3, 6);
  System->AnalyzerExecute();
  EXPECT_EQ(System->AnalyzerGetSeriesLenght(0), 6);
  // No intervals: the first value alone.
  Sweep(5, 9, 0);
  System->AnalyzerExecute();
  EXPECT_EQ(Xs(0), (std::vector<double>{5}));
  // An empty range: no steps at all.
  Sweep(9, 5, 4);
  System->AnalyzerExecute();
  EXPECT_EQ(System->AnalyzerGetSeriesLenght(0), 0);
  // The second series replaced the first.
  EXPECT_EQ(System->AnalyzerGetSeriesCount(), 1);
}

TEST_F(Analyzer, SeriesNamesAreFrozenWhenRestorationsAreAdded)
{
  const unsigned copy = Uid("Test Copy");
  System->AnalyzerAddRestoration(copy);
  // The user edits the restoration's parameters afterwards.
  cOperationParams edited(*System->GetOperationParams(copy));
  kvtest::Param(edited, "Window size", "Test Copy").SetValue(7);
  edited.ApplyToOperation();
  System->AnalyzerUpdateParams(0);
  EXPECT_EQ(System->AnalyzerGetRestorationNameAt(0), "Test Copy (WS=7)");
  EXPECT_EQ(System->AnalyzerGetRestorationCount(), 1);
  // Someone else changes the live set; the analyzer's copy is put back on selection.
  cOperationParams other(*System->GetOperationParams(copy));
  kvtest::Param(other, "Window size", "Test Copy").SetValue(1);
  other.ApplyToOperation();
  EXPECT_EQ(System->AnalyzerSelectRestorationParams(0), copy);
  EXPECT_EQ(kvtest::Param(*System->GetOperationParams(copy), "Window size", "Test Copy").GetInteger(), 7);

  Sweep(0, 4, 1);
  System->AnalyzerSetCriterion("PSNR");
  System->AnalyzerExecute();
  EXPECT_EQ(System->AnalyzerGetSeriesName(0), "Test Copy (WS=3)");
  EXPECT_EQ(System->GetImage(2)->GetTitle(), "Test Copy (WS=7)");  // runs use the edited copy
  System->AnalyzerClear();
  EXPECT_EQ(System->AnalyzerGetRestorationCount(), 0);
  EXPECT_EQ(System->AnalyzerGetSeriesCount(), 0);
  EXPECT_EQ(System->AnalyzerGetBottomTitle(), "Amount");  // titles stay
}

TEST_F(Analyzer, RecordsTheValueOfTheChosenCriterion)
{
  {
    // The criterion values below rest on the picture measures themselves.
    cImage a, b;
    kvtest::Fill(*a.GetSurface(), 4, 4, 1, [](int, int, int) { return uint8_t(0); });
    kvtest::Fill(*b.GetSurface(), 4, 4, 1, [](int, int, int) { return uint8_t(10); });
    b.CalculateProperties(&a);
    ASSERT_DOUBLE_EQ(b.GetMSE(), 100.0);
  }
  Sweep(0, 20, 2);  // shifts of 0, 10, 20 on a flat picture
  System->AnalyzerAddRestoration(Uid("Test Copy"));
  System->AnalyzerSetCriterion("MSE");
  System->AnalyzerExecute();
  EXPECT_DOUBLE_EQ(Y(0, 0), 0.0);
  EXPECT_DOUBLE_EQ(Y(0, 1), 100.0);
  EXPECT_DOUBLE_EQ(Y(0, 2), 400.0);

  System->AnalyzerSetCriterion("PSNR");
  System->AnalyzerExecute();
  EXPECT_EQ(Y(0, 0), std::numeric_limits<double>::infinity());
  EXPECT_NEAR(Y(0, 1), 10.0 * std::log10(65025.0 / 100.0), 1e-9);
  EXPECT_NEAR(Y(0, 2), 10.0 * std::log10(65025.0 / 400.0), 1e-9);

  for (const char* criterion : {"IQ", "IQHVS", "SSIM"}) {
    System->AnalyzerSetCriterion(criterion);
    System->AnalyzerExecute();
    EXPECT_NEAR(Y(0, 0), 1.0, 1e-9) << criterion << ": identical pictures";
    for (unsigned f = 0; f < 3; ++f) {
      EXPECT_LE(Y(0, f), 1.0 + 1e-9) << criterion;
      EXPECT_GE(Y(0, f), -1.0 - 1e-9) << criterion;
    }
  }

  System->AnalyzerSetCriterion("Time");
  System->AnalyzerExecute();
  const int last = System->SavedImageCount() - 1;
  EXPECT_EQ(Y(0, 2), double(System->GetImage(last)->GetTimeMicroseconds()) / 1000.0);
  EXPECT_EQ(System->AnalyzerGetLeftTitle(), "Time");
}

TEST_F(Analyzer, SeveralCriteriaAndAValueListGiveTheValuesOfSeparateRunsFromOneRunOfEachOperation)
{
  // Noise under a fixed seed: each value's pictures must not depend on the other values swept.
  auto run = [&](std::vector<double> values, std::vector<std::string> criteria) {
    cRandomGenerator::SetSeed(7);
    System->SetCurrentImageID(0);  // every run starts from the loaded picture
    System->AnalyzerClear();
    sCorruptionSeriesInfo info;
    info.OperationUID = Uid("Gaussian Noise");
    info.ParameterIndex = 1;  // Sigma
    info.Values = values;
    System->AnalyzerAddCorruptionSeries(info);
    System->AnalyzerAddRestoration(Uid("Median Filter"));
    System->AnalyzerAddRestoration(Uid("Test Copy"));
    System->AnalyzerSetCriteria(criteria);
    const int before = System->SavedImageCount();
    System->AnalyzerExecute();
    // Each value: one corrupted picture and one per restoration, however many criteria.
    EXPECT_EQ(System->SavedImageCount() - before, int(values.size()) * 3);
  };
  const std::vector<double> values = {40, 10, 25};
  run(values, {"PSNR", "SSIM"});
  EXPECT_EQ(Xs(0), values);
  EXPECT_EQ(Xs(1), values);
  std::vector<double> both[2][2];
  for (unsigned s = 0; s < 2; ++s)
    for (unsigned k = 0; k < 3; ++k) {
      for (unsigned c = 0; c < 2; ++c) both[s][c].push_back(System->AnalyzerGetCriterionValueAt(s, k, c));
      EXPECT_EQ(Y(s, k), both[s][0][k]);  // the first criterion is the curve's
    }
  EXPECT_NE(both[0][0][0], both[0][0][1]);
  for (unsigned c = 0; c < 2; ++c)
    for (unsigned k = 0; k < 3; ++k) {
      run({values[k]}, {c == 0 ? "PSNR" : "SSIM"});
      for (unsigned s = 0; s < 2; ++s) EXPECT_EQ(Y(s, 0), both[s][c][k]) << "criterion " << c << ", value " << k;
    }
  cRandomGenerator::ClearSeed();
}

// Cancels the experiment after a given number of points, from inside the observer call.
class CancellingObserver : public iObserver {
public:
  CancellingObserver(cKvadraSystem& system, int afterPoints) : System(system), AfterPoints(afterPoints) {}
  void Update(sMessage& m) override
  {
    if (m.Msg == ANALYZER_POINT_READY && ++Points == AfterPoints) System.AnalyzerCancel();
  }
  cKvadraSystem& System;
  int AfterPoints;
  int Points = 0;
};

TEST_F(Analyzer, CancelKeepsWhatWasMadeAndSeriesMatchTheirPoints)
{
  CancellingObserver canceller(*System, 3);
  System->AddObserver(&canceller);
  Sweep(0, 10, 5);
  System->AnalyzerAddRestoration(Uid("Test Copy"));
  System->AnalyzerAddRestoration(Uid("Invert"));
  System->AnalyzerSetCriterion("Time");
  System->AnalyzerExecute();
  EXPECT_TRUE(System->AnalyzerWasCancelled());
  // Points: step 0 of both series, step 1 of the first; then the stop.
  EXPECT_EQ(System->AnalyzerGetSeriesLenght(0), 2);
  EXPECT_EQ(System->AnalyzerGetSeriesLenght(1), 1);
  EXPECT_EQ(Xs(0), (std::vector<double>{0, 2}));
  EXPECT_EQ(Count(ANALYZER_POINT_READY), 3);
  // Pictures: corrupted 0, two restored, corrupted 1, one restored.
  EXPECT_EQ(System->SavedImageCount(), 1 + 5);
  // The next experiment starts afresh.
  canceller.AfterPoints = -1;
  System->AnalyzerExecute();
  EXPECT_FALSE(System->AnalyzerWasCancelled());
  EXPECT_EQ(System->AnalyzerGetSeriesLenght(1), 6);
}

TEST_F(Analyzer, AFailingRestorationEndsTheExperimentAndTellsTheUser)
{
  Sweep(0, 10, 5);
  System->AnalyzerAddRestoration(Uid("Test Copy"));
  System->AnalyzerAddRestoration(Uid("Test Fail"));
  System->AnalyzerSetCriterion("Time");
  System->AnalyzerExecute();
  EXPECT_EQ(Shown, (std::vector<std::string>{"Test operation failed on purpose"}));
  EXPECT_TRUE(System->AnalyzerWasCancelled());
  EXPECT_EQ(System->AnalyzerGetSeriesLenght(0), 1);
  EXPECT_EQ(System->AnalyzerGetSeriesLenght(1), 0);
  EXPECT_EQ(System->SavedImageCount(), 1 + 2);
}

TEST_F(Analyzer, SweepStartsFromTheCurrentEntry)
{
  System->SelectOperation(Uid("Invert"));
  ASSERT_TRUE(RunSelected(true));  // entry 1: 155 everywhere
  System->SetCurrentImageID(1);
  Sweep(1, 1, 1);
  System->AnalyzerExecute();
  EXPECT_EQ(kvtest::Pixel(*System->GetImage(2)->GetSurface(), 5, 5), 156);
}

// Cancels through the kernel's request before operation number Before of an experiment (0 is
// the first corruption): every operation appends a picture, so the history's messages count them.
class OperationCanceller : public iObserver {
public:
  OperationCanceller(cKvadraSystem& system, int before) : System(system), Before(before) {}
  void Update(sMessage& m) override
  {
    if (m.Msg == ANALYZER_SERIES_READY)
      Done = 0;
    else if (m.Msg == HISTORY_CHANGED)
      ++Done;
    else
      return;
    if (Done == Before) System.AnalyzerCancel();
  }
  cKvadraSystem& System;
  int Before;
  int Done = -1;
};

struct sSeriesSnapshot {
  std::vector<double> Sweep;
  std::vector<std::vector<double>> Ys;
};

TEST_F(Analyzer, CancelBeforeEveryOperationKeepsExactlyTheCompletedPoints)
{
  Sweep(0, 10, 2);  // three sweep values
  System->AnalyzerAddRestoration(Uid("Test Copy"));
  System->AnalyzerAddRestoration(Uid("Invert"));
  System->AnalyzerAddRestoration(Uid("Test Shift"));
  System->AnalyzerSetCriterion("PSNR");
  const int restorations = 3, perStep = 1 + restorations, operations = 3 * perStep;
  auto snapshot = [this] {
    sSeriesSnapshot r;
    for (int k = 0; k < System->AnalyzerGetSweepLength(); ++k) r.Sweep.push_back(System->AnalyzerGetSweepValueAt(k));
    for (int j = 0; j < System->AnalyzerGetSeriesCount(); ++j) {
      r.Ys.emplace_back();
      for (int k = 0; k < System->AnalyzerGetSeriesLenght(j); ++k) {
        double x = 0, y = 0;
        System->AnalyzerGetResultAt(unsigned(j), unsigned(k), x, y);
        EXPECT_EQ(x, r.Sweep.at(size_t(k))) << "series " << j << " point " << k;
        r.Ys.back().push_back(y);
      }
    }
    return r;
  };
  OperationCanceller canceller(*System, -1);
  System->AddObserver(&canceller);
  System->AnalyzerExecute();
  const sSeriesSnapshot full = snapshot();
  ASSERT_EQ(full.Sweep, (std::vector<double>{0, 5, 10}));

  for (int before = 0; before <= operations; ++before) {
    SCOPED_TRACE("cancel before operation " + std::to_string(before));
    System->SetCurrentImageID(0);  // every experiment starts from the loaded picture
    const int historyBefore = System->SavedImageCount();
    canceller.Before = before;
    System->AnalyzerExecute();

    EXPECT_EQ(System->AnalyzerWasCancelled(), before < operations);
    EXPECT_EQ(System->AnalyzerGetFailure(), "");
    EXPECT_EQ(System->SavedImageCount(), historyBefore + before) << "one picture per operation run";
    const sSeriesSnapshot cut = snapshot();
    // Series j has a point for every sweep value whose restoration j ran.
    size_t longest = 0;
    for (int j = 0; j < restorations; ++j) {
      const size_t expected = size_t(before / perStep + (before % perStep >= j + 2 ? 1 : 0));
      ASSERT_EQ(cut.Ys.at(size_t(j)).size(), expected) << "series " << j;
      EXPECT_TRUE(std::equal(cut.Ys[size_t(j)].begin(), cut.Ys[size_t(j)].end(), full.Ys[size_t(j)].begin()));
      longest = std::max(longest, expected);
    }
    ASSERT_EQ(cut.Sweep.size(), longest);
    EXPECT_TRUE(std::equal(cut.Sweep.begin(), cut.Sweep.end(), full.Sweep.begin()));
  }
}

TEST_F(Analyzer, AnOperationThatFailsPartWayKeepsThePointsBeforeIt)
{
  struct sCase {
    const char* Restoration;
    int Limit;  // the sweep's flat pictures are 100, 105, 110
    std::vector<int> Lengths;
    std::string Shown;
  };
  const std::vector<sCase> cases = {
      {"Test Fail Above", 102, {2, 1, 1}, "Test operation failed above its limit"},
      {"Test Fail Above", 99, {1, 0, 0}, "Test operation failed above its limit"},
      {"Test Give Up", 0, {1, 0, 0}, ""},  // stops itself: its unprocessed copy is no point
  };
  for (const sCase& c : cases) {
    SCOPED_TRACE(std::string(c.Restoration) + " limit " + std::to_string(c.Limit));
    System->AnalyzerClear();
    Shown.clear();
    Sweep(0, 10, 2);
    System->AnalyzerAddRestoration(Uid("Test Copy"));
    if (std::string(c.Restoration) == "Test Fail Above") {
      cOperationParams params(*System->GetOperationParams(Uid(c.Restoration)));
      kvtest::Param(params, "Limit", c.Restoration).SetValue(c.Limit);
      params.ApplyToOperation();
    }
    System->AnalyzerAddRestoration(Uid(c.Restoration));
    System->AnalyzerAddRestoration(Uid("Invert"));
    System->AnalyzerSetCriterion("PSNR");
    System->AnalyzerExecute();
    EXPECT_TRUE(System->AnalyzerWasCancelled());
    EXPECT_NE(System->AnalyzerGetFailure(), "");
    if (!c.Shown.empty()) {
      EXPECT_EQ(Shown, (std::vector<std::string>{c.Shown}));
      EXPECT_EQ(System->AnalyzerGetFailure(), c.Shown);
    }
    std::vector<int> lengths;
    for (int j = 0; j < 3; ++j) lengths.push_back(System->AnalyzerGetSeriesLenght(j));
    EXPECT_EQ(lengths, c.Lengths);
    EXPECT_EQ(System->AnalyzerGetSweepLength(), c.Lengths[0]);
  }
  // The next experiment starts without the failure.
  System->AnalyzerClear();
  Sweep(0, 10, 2);
  System->AnalyzerAddRestoration(Uid("Test Copy"));
  System->AnalyzerSetCriterion("PSNR");
  System->AnalyzerExecute();
  EXPECT_EQ(System->AnalyzerGetFailure(), "");
  EXPECT_FALSE(System->AnalyzerWasCancelled());
}

TEST_F(Analyzer, ARunningWorkerIsStoppedBeforeTheExperimentUsesTheOperations)
{
  System->SelectOperation(Uid("Test Slow"));
  System->SelectedFilterExecute(false);
  ASSERT_TRUE(System->IsBusy());
  Forget();
  Sweep(0, 0, 1);
  System->AnalyzerExecute();
  EXPECT_FALSE(System->IsBusy());
  const IdList ids = Ids();
  ASSERT_GE(ids.size(), 2u);
  EXPECT_EQ(ids[0], FILTRATION_TERMINATED);
  EXPECT_EQ(ids[1], ANALYZER_SERIES_READY);
}

TEST_F(Analyzer, AnIntegerParameterIsSweptInWholeValuesRecordedAsUsed)
{
  sCorruptionSeriesInfo info;
  info.OperationUID = Uid("Test Copy");  // "Window size", an integer 1..9
  info.ParameterIndex = 0;
  info.Minimum = 1;
  info.Maximum = 4;
  info.Steps = 6;  // 1, 1.5, 2, 2.5, 3, 3.5, 4
  System->AnalyzerAddCorruptionSeries(info);
  System->AnalyzerAddRestoration(Uid("Test Copy"));
  System->AnalyzerSetCriterion("PSNR");
  System->AnalyzerExecute();
  const std::vector<double> used{1, 2, 2, 3, 3, 4, 4};
  EXPECT_EQ(Xs(0), used);
  ASSERT_EQ(System->AnalyzerGetSweepLength(), 7);
  for (int k = 0; k < 7; ++k) EXPECT_EQ(System->AnalyzerGetSweepValueAt(k), used[size_t(k)]);
  EXPECT_EQ(System->GetImage(3)->GetTitle(), "Test Copy (WS=2)");
  EXPECT_FALSE(System->AnalyzerWasCancelled());
}

TEST_F(Analyzer, WithoutAPictureTheExperimentIsRefusedWithAMessage)
{
  System->DeleteAllSavedImage();
  ASSERT_EQ(System->GetCurrentImageID(), -1);
  Sweep(0, 10, 2);
  System->AnalyzerAddRestoration(Uid("Test Copy"));
  System->AnalyzerSetCriterion("PSNR");
  Forget();
  System->AnalyzerExecute();
  EXPECT_EQ(Shown, (std::vector<std::string>{"Load an image before starting an experiment."}));
  EXPECT_EQ(System->AnalyzerGetFailure(), Shown.at(0));
  EXPECT_EQ(System->AnalyzerGetSweepLength(), 0);
  EXPECT_EQ(System->AnalyzerGetPointsMade(0), 0);
  EXPECT_FALSE(System->AnalyzerIsRunning());
  EXPECT_EQ(Count(ANALYZER_SERIES_READY), 0);
  EXPECT_EQ(System->SavedImageCount(), 0);
}

// Watches an experiment from the observer's seat: the thread messages arrive on, the points made
// per series at each point, and what re-entrant calls do.
class ProgressProbe : public iObserver {
public:
  explicit ProgressProbe(cKvadraSystem& system) : System(system) {}
  void Update(sMessage& m) override
  {
    if (m.Msg != ANALYZER_POINT_READY && m.Msg != ANALYZER_SERIES_READY && m.Msg != HISTORY_CHANGED) return;
    Threads.push_back(std::this_thread::get_id());
    if (m.Msg != ANALYZER_POINT_READY) return;
    Running.push_back(System.AnalyzerIsRunning());
    std::vector<int> made;
    for (int j = 0; j < System.AnalyzerGetSeriesCount(); ++j) made.push_back(System.AnalyzerGetPointsMade(j));
    Made.push_back(made);
    // A window reacting to the point must not be able to restart or clear the experiment.
    System.AnalyzerExecute();
    System.AnalyzerClear();
  }
  cKvadraSystem& System;
  std::vector<std::thread::id> Threads;
  std::vector<bool> Running;
  std::vector<std::vector<int>> Made;
};

TEST_F(Analyzer, ARunnerCarriesTheWorkWhileHistoryAndMessagesStayOnTheCallingThread)
{
  Sweep(0, 20, 2);
  System->AnalyzerAddRestoration(Uid("Test Copy"));
  System->AnalyzerAddRestoration(Uid("Invert"));
  System->AnalyzerSetCriterion("MSE");
  System->AnalyzerExecute();
  std::vector<std::vector<double>> inPlace(2);
  for (unsigned j = 0; j < 2; ++j)
    for (unsigned k = 0; k < 3; ++k) inPlace[j].push_back(Y(j, k));

  int calls = 0;
  std::vector<std::thread::id> workThreads;
  System->AnalyzerSetRunner([&](const std::function<void()>& work) {
    ++calls;
    std::thread worker([&] {
      workThreads.push_back(std::this_thread::get_id());
      work();
    });
    worker.join();
  });
  ProgressProbe probe(*System);
  System->AddObserver(&probe);
  System->SetCurrentImageID(0);
  const int historyBefore = System->SavedImageCount();
  System->AnalyzerExecute();

  // Per sweep value: the corruption and its measures, then per restoration its run and its measures.
  EXPECT_EQ(calls, 3 * (2 + 2 * 2));
  for (const auto& id : workThreads) EXPECT_NE(id, std::this_thread::get_id());
  ASSERT_FALSE(probe.Threads.empty());
  for (const auto& id : probe.Threads) EXPECT_EQ(id, std::this_thread::get_id());
  EXPECT_EQ(System->SavedImageCount(), historyBefore + 3 * 3);
  for (unsigned j = 0; j < 2; ++j)
    for (unsigned k = 0; k < 3; ++k) EXPECT_EQ(Y(j, k), inPlace[j][k]) << "series " << j << " point " << k;
  // The points made grow one at a time, series by series; the placeholders are not counted.
  const std::vector<std::vector<int>> made{{1, 0}, {1, 1}, {2, 1}, {2, 2}, {3, 2}, {3, 3}};
  EXPECT_EQ(probe.Made, made);
  EXPECT_EQ(probe.Running, std::vector<bool>(6, true));
  EXPECT_FALSE(System->AnalyzerIsRunning());
  EXPECT_EQ(System->AnalyzerGetPointsMade(1), System->AnalyzerGetSeriesLenght(1));
  EXPECT_EQ(System->AnalyzerGetRestorationCount(), 2);  // the Clear during the run was ignored
}

TEST_F(Analyzer, ACancelDuringAnOperationEndsTheExperimentAfterIt)
{
  Sweep(0, 10, 5);
  System->AnalyzerAddRestoration(Uid("Test Copy"));
  System->AnalyzerAddRestoration(Uid("Invert"));
  System->AnalyzerSetCriterion("PSNR");
  int calls = 0;
  // Stop is pressed while the 5th piece of work (the second restoration of the first value) runs.
  System->AnalyzerSetRunner([&](const std::function<void()>& work) {
    std::thread worker([&] { work(); });
    if (++calls == 5) System->AnalyzerCancel();
    worker.join();
  });
  System->AnalyzerExecute();
  EXPECT_TRUE(System->AnalyzerWasCancelled());
  EXPECT_EQ(calls, 6);  // the running restoration was still measured
  EXPECT_EQ(System->AnalyzerGetSeriesLenght(0), 1);
  EXPECT_EQ(System->AnalyzerGetSeriesLenght(1), 1);
  EXPECT_EQ(System->AnalyzerGetPointsMade(1), 1);
  EXPECT_EQ(System->SavedImageCount(), 1 + 3);
  System->AnalyzerSetRunner(nullptr);
}

using AnalyzerDeathTest = Analyzer;

TEST_F(AnalyzerDeathTest, PreconditionsOfResultsAndCriterion)
{
  Sweep(0, 10, 1);
  System->AnalyzerAddRestoration(Uid("Test Copy"));
  EXPECT_DEATH(System->AnalyzerExecute(), "Criterion!=\"\"");
  System->AnalyzerSetCriterion("PSNR");
  System->AnalyzerExecute();
  double x, y;
  EXPECT_DEATH(System->AnalyzerGetResultAt(1, 0, x, y), "SeriesNo<Results.size\\(\\)");
  EXPECT_DEATH(System->AnalyzerGetResultAt(0, 2, x, y), "SampleNo<Results.at\\(SeriesNo\\).size\\(\\)");
}

}  // namespace
