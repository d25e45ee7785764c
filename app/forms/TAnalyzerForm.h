#pragma once
// The analyzer wizard: choose a noise and the parameter to sweep, the sweep's range and steps,
// the restorations with their parameters and the criterion, then watch the experiment fill a
// chart and a table. The experiment lives in the kernel's analyzer; the window collects the
// choices and shows what comes back. While the experiment runs, its operations run off the GUI
// thread so the window repaints and Stop works.
#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

class QButtonGroup;
class QChart;
class QChartView;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineSeries;
class QListWidget;
class QPushButton;
class QPointF;
class QRadioButton;
class QSettings;
class QStackedWidget;
class QTableWidget;
class QTabWidget;
class QValueAxis;
class TCategoryButtons;
class TImprovedSpinEdit;
class TParamsPanel;

class TAnalyzerForm : public QDialog {
  Q_OBJECT
public:
  explicit TAnalyzerForm(QWidget* parent = nullptr);
  ~TAnalyzerForm() override;

  // Observer targets.
  void AddOperation(unsigned uid);
  void SeriesReady();
  void PointReady();
  // Refills the experiment-picture choice from the history (not while an experiment runs).
  void RefreshExperimentImages();
  // The history entry the next experiment runs on, -1 for none.
  int ExperimentImageID() const;

  bool IsExperimentRunning() const { return ExperimentRunning; }
  // Asks a running experiment to end after the operation that is running.
  void StopExperiment();
  // The exports; false (the user has been told) when the file could not be written.
  bool SaveChart(const QString& fileName);
  // By the name's extension: .md a Markdown and .tex a LaTeX table of the paper's layout (a row
  // per restoration, a column per sweep value and criterion), anything else CSV.
  bool SaveTable(const QString& fileName);
  void CopyTable();
  // The 'kvadra analyze' command of this experiment on the current picture; a comment line
  // before it names the history steps between the loaded file and the current picture.
  QString CommandText() const;
  void CopyCommand();
  // The file the current picture was loaded from, for CommandText.
  void SetPictureFile(const QString& file) { PictureFile = file; }
  // The program's --seed: every experiment starts from it, as 'kvadra analyze --seed' does, so
  // the copied command gives the same numbers.
  static void SetBaseSeed(std::optional<uint64_t> seed) { BaseSeed = seed; }

  // Takes the size the window had when last used and keeps its size there from now on.
  void RestoreSize(QSettings* store);

  // Runs work on a thread of its own and keeps the GUI's events flowing until it has ended.
  static void RunOffGuiThread(const std::function<void()>& work);

  // Told when an experiment starts (true) and when it has returned (false), so the other
  // windows keep away from the kernel meanwhile.
  std::function<void(bool running)> OnExperimentRunning;

  // Components, named as the window describes them.
  QStackedWidget* PageControl = nullptr;
  QWidget* CorruptionTabSheet = nullptr;
  QWidget* RunningTabSheet = nullptr;
  QWidget* RestorationTabSheet = nullptr;
  QWidget* CriterionTabSheet = nullptr;
  QWidget* ResultsTabSheet = nullptr;
  TCategoryButtons* CorruptionSelector = nullptr;
  QGroupBox* CorruptionDetailsBox = nullptr;
  QLabel* CorruptionNameLabel = nullptr;
  QComboBox* ExperimentImageBox = nullptr;
  QWidget* SelectRunningParamPanel = nullptr;
  QLabel* CorruptionNameLabel2 = nullptr;
  QGroupBox* RunningGroupBox = nullptr;
  QWidget* RunningParamDetailsPanel = nullptr;
  QGroupBox* StaticGroupBox = nullptr;
  TCategoryButtons* RestorationSelector = nullptr;
  QListWidget* RestorationListBox = nullptr;
  QWidget* BasePanel = nullptr;
  QGroupBox* CriteriaGroup = nullptr;
  QButtonGroup* CriteriaButtons = nullptr;
  QTabWidget* ResultsPageControl = nullptr;
  QComboBox* ChartCriterionBox = nullptr;  // which criterion the chart shows
  QChartView* ResultsChart = nullptr;
  // The chart with its legend under it, as saved.
  QWidget* ChartArea = nullptr;
  QLabel* LegendLabel = nullptr;
  QLabel* TitleLabel = nullptr;
  QTableWidget* ResultsGrid = nullptr;
  QLabel* StatusLabel = nullptr;
  QPushButton* StopButton = nullptr;
  QPushButton* SaveChartButton = nullptr;
  QPushButton* SaveTableButton = nullptr;
  QPushButton* CopyButton = nullptr;
  QPushButton* CopyCommandButton = nullptr;
  QPushButton* NextButton = nullptr;
  QPushButton* BackButton = nullptr;

  TParamsPanel* StaticParamsPanel = nullptr;
  TParamsPanel* RestorationParamsPanel = nullptr;
  TImprovedSpinEdit* MinEdit = nullptr;
  TImprovedSpinEdit* MaxEdit = nullptr;
  TImprovedSpinEdit* StepsEdit = nullptr;

  int GetCorruptionOperation() const { return CorruptionOperationIndex; }
  int GetRunningParamIndex() const { return RunningParamIndex; }
  QList<QLineSeries*> ChartSeries() const;
  // The first chosen criterion; CriterionNames() all, in the list's order.
  QString CriterionName() const;
  QStringList CriterionNames() const;

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void reject() override;

private:
  QWidget* NewPage(const QString& name);
  TCategoryButtons* NewSelector(QWidget* page, const QString& name, const QString& accessibleName, int width);
  void CreateCorruptionPage();
  void CreateRunningPage();
  void CreateRestorationPage();
  void CreateCriterionPage();
  void CreateResultsPage();
  QWidget* CreateResultsChart();
  QWidget* CreateResultsTable();
  void CreateResultsButtons();
  void ShowPage(QWidget* page);
  void CorruptionPageShown();
  void RunningPageShown();
  void CorruptionButtonClick(int uid);
  void RunningParamClick(QRadioButton* sender);
  void RestorationButtonClick(int uid);
  void RefillRestorationList();
  void RestorationListBoxClick();
  void RestorationChange();
  void StaticChange();
  void NextButtonClick();
  void BackButtonClick();
  void StartExperiment();
  void SetResultButtons();
  void FitAxes();
  // The chart's curves: the chosen criterion's values of the points made.
  void FillChart();
  void UpdateLegend();
  void RemoveSeries();
  void ShowPointValues(QLineSeries* series, const QPointF& at, bool state);
  QString PointText(const QLineSeries* series, const QPointF& point) const;

  QChart* Chart = nullptr;
  QValueAxis* AxisX = nullptr;
  QValueAxis* AxisY = nullptr;
  int CorruptionOperationIndex = -1;
  int RunningParamIndex = -1;
  int RestorationOperationIndex = -1;
  bool ExperimentRunning = false;
  bool CloseWhenStopped = false;
  QString PictureFile;
  // The history entry the last experiment started from.
  int ExperimentSourceID = 0;
  static std::optional<uint64_t> BaseSeed;
  QSettings* Store = nullptr;
  // The values of the point under the mouse, shown as the chart's tooltip.
  QString HoverText;
  // A picture the user picked stays chosen while the history changes; otherwise the current one.
  bool ExperimentImageChosen = false;
};

extern TAnalyzerForm* AnalyzerForm;
