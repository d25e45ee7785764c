#pragma once
// The main window: menus built from the operations the kernel announces, the spatial and
// frequency viewers, the tool bar, progress and status panels. It owns no image data: it
// forwards commands to the facade and re-reads what it shows when a message says so.
#include <QList>
#include <QMainWindow>
#include <QString>
#include <functional>
#include <string>

#include "DrawSurfaceInViewer.h"

class QAction;
class QActionGroup;
class QComboBox;
class QDockWidget;
class QLabel;
class QMenu;
class QProgressBar;
class QStackedWidget;
class QStatusBar;
class QToolBar;
class QToolButton;
class TComparePage;
class TImprovedSpinEdit;
class TPlaneViewer;
struct sViewerInfo;

class TKvadraMainForm : public QMainWindow {
  Q_OBJECT
public:
  explicit TKvadraMainForm(QWidget* parent = nullptr);
  ~TKvadraMainForm() override;

  // --- Routines used by the observers and the tool windows ---
  void SetStatusText(const QString& text);
  void UpdateActions();
  // Files an announced operation into the menus (asks the facade for its group, name, type).
  void AddOperationItem(unsigned uid);
  void AddOperationItem(unsigned uid, const QString& group, const QString& name, const QString& type);
  // Creates or refreshes the "&Window" entry of a tool window; its tick follows the visibility.
  void RegisterToolWindow(QDockWidget* toolWindow);
  void SetPlaneSizes(int width, int height);
  void RepaintViewers();
  // Shows the compare page with history picture id as the picture compared with.
  void CompareWith(int id);
  // Opens a picture through the kernel; false when nothing was loaded.
  bool OpenFile(const QString& fileName);
  // Runs an operation action's command (selection, geometry confirmation, dialog or run).
  void ExecuteOperation(unsigned uid);
  // The menu item that shows an operation (name + " - " + uid), or nullptr.
  QAction* FindOperationAction(unsigned uid) const;
  // While an analyzer experiment runs, the actions that would call the kernel are disabled,
  // pictures are not loaded, and closing the window waits for the experiment to return.
  void SetExperimentRunning(bool running);
  bool IsExperimentRunning() const { return ExperimentRunning; }
  void SetConfirmHandler(std::function<bool(const QString&)> confirm) { ConfirmHandler = std::move(confirm); }

  // The other windows, attached by the application once they exist.
  std::function<void(unsigned uid)> ShowOperationDialog;
  std::function<void()> ShowPreferences;
  std::function<void()> ShowAnalyzer;
  std::function<void()> ShowAbout;
  // Prepares the resample dialog for the size and shows it modally; true on OK.
  std::function<bool(int width, int height)> RunResampleDialog;

  // Components, named as the window describes them.
  QMenuBar* ActionMainMenuBar = nullptr;
  QToolBar* ActionToolBar = nullptr;
  QToolButton* CloseImageButton = nullptr;
  QStackedWidget* Pages = nullptr;
  QWidget* SpatialSheet = nullptr;
  QWidget* FreqSheet = nullptr;
  QWidget* SpecPanel = nullptr;
  QComboBox* MagPhBox = nullptr;
  TImprovedSpinEdit* SpectrumScaleEdit = nullptr;
  TPlaneViewer* SpatialViewer = nullptr;
  TPlaneViewer* FrequencyViewer = nullptr;
  TComparePage* ComparePage = nullptr;
  QWidget* BottomPanel = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QStatusBar* StatusBar = nullptr;
  QLabel* ZoomPanel = nullptr;
  QLabel* StatusPanel = nullptr;
  QLabel* PixelPanel = nullptr;
  QMenu* FiltersItem = nullptr;
  QMenu* NoisesItem = nullptr;
  QMenu* CompressionItem = nullptr;

  QAction* OpenImageAction = nullptr;
  QAction* SaveImageAsAction = nullptr;
  QAction* CloseImageAction = nullptr;
  QAction* PreferencesAction = nullptr;
  QAction* ExitAction = nullptr;
  QAction* UndoAction = nullptr;
  QAction* NewOriginAction = nullptr;
  QAction* ZoomInAction = nullptr;
  QAction* ZoomOutAction = nullptr;
  QAction* ZoomToFitAction = nullptr;
  QAction* ActualSizeAction = nullptr;
  QAction* AboutAction = nullptr;
  QAction* StartAnalyzerAction = nullptr;
  QAction* RulersAction = nullptr;
  QAction* FreqDomain = nullptr;
  QAction* SpatialDomain = nullptr;
  QAction* CompareDomain = nullptr;
  QAction* Rotate90CWAction = nullptr;
  QAction* Rotate90CCWAction = nullptr;
  QAction* Rotate180Action = nullptr;
  QAction* FlipVerticalAction = nullptr;
  QAction* FlipHorizontalAction = nullptr;
  QAction* InvertAction = nullptr;
  QAction* DesaturateAction = nullptr;
  QAction* ResizeAction = nullptr;
  // Predefined built-in operation actions plus one action per loaded operation.
  QList<QAction*> OperationActionList;

protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  void CreateActions();
  void CreateFileActions();
  void CreateEditActions();
  void CreateZoomActions();
  void CreateWindowActions();
  void CreateDomainActions();
  void CreateOperationActions();
  void CreateMenus();
  void CreateToolBar();
  void CreatePages();
  void CreateBottomPanel();
  QAction* NewAction(const QString& objectName, const QString& category, const QString& caption);
  QAction* NewOperationAction(const QString& objectName, const QString& category, const QString& caption);
  void AttachBuiltInOperation(unsigned uid, const QString& name);
  void OperationActionExecute();
  void OpenImageActionExecute();
  void SaveImageAsActionExecute();
  void CloseImageActionExecute();
  enum class eZoomStep { In, Out, ActualSize, Fit };
  void ZoomActionExecute(eZoomStep step);
  void ResizeActionExecute();
  void RulersActionExecute();
  void SpectrumParamsChange();
  void ShowZoom(int percent);
  void ShowPixel(bool frequency, bool inside, int x, int y);
  TPlaneViewer* ShownViewer() const;
  void DrawSpatial(QPainter& canvas, const sViewerInfo& info);
  void DrawFrequency(QPainter& canvas, const sViewerInfo& info);
  bool Confirm(const QString& text);

  QActionGroup* DomainGroup = nullptr;
  sViewerFrame LastSpatialFrame;
  std::function<bool(const QString&)> ConfirmHandler;
  bool ExperimentRunning = false;
  bool CloseAfterExperiment = false;
};

// The program's main window, once created.
extern TKvadraMainForm* KvadraMainForm;

// "Sep 27 2007" from the compiler's build date ("Sep  7 2007" loses its padding blank).
QString BuildDateText();
