#include "TKvadraApplication.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QSettings>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <memory>

#include "TAnalyzerForm.h"
#include "TAutoOperationForm.h"
#include "THistoryToolForm.h"
#include "TImageInfoToolForm.h"
#include "TKvadraMainForm.h"
#include "TPreferencesForm.h"
#include "TQtKernelHost.h"
#include "TResampleForm.h"
#include "TSplashForm.h"
#include "cAnalyzerFormObserver.h"
#include "cAutoOperationFormObserver.h"
#include "cHistoryToolFormObserver.h"
#include "cImageInfoToolFormObserver.h"
#include "cKvadraMainFormObserver.h"
#include "kvFacade/cKvadraSystem.h"
#include "cSplashFormObserver.h"
#include "kvRuntime/cuGlobalParameters.h"
#include "kvRuntime/kvInstallPaths.h"

namespace {
// The right dock is never narrower than this.
constexpr int NarrowestDock = 410;
}  // namespace

TKvadraApplication::TKvadraApplication() = default;

TKvadraApplication::~TKvadraApplication()
{
  Shutdown();
}

void TKvadraApplication::Start(const sStartOptions& options)
{
  QApplication::setApplicationName("Kvadra 2 - The Tessellary");
  CreateWindows();
  CreatePreferences(options);

  Main->hide();
  if (options.ShowWindows) SplashWindow->ShowSplash();
  SplashWindow->SetSplashStatus("Starting application...");
  StartKernel(options);
  FinishSplash(options);

  DockToolWindows();
  Main->UpdateActions();
  if (options.ShowWindows) ShowMaximized();
}

void TKvadraApplication::CreateWindows()
{
  Main = std::make_unique<TKvadraMainForm>();
  SplashWindow = std::make_unique<TSplashForm>();
  Main->ShowAbout = [this] { SplashWindow->ShowAbout(); };
  // Tool windows are created here, after the splash.
  HistoryForm = std::make_unique<THistoryToolForm>(Main.get());
  HistoryForm->CompareWith = [this](int id) { Main->CompareWith(id); };
  ImageInfoForm = std::make_unique<TImageInfoToolForm>(Main.get());
  OperationDialog = std::make_unique<TAutoOperationForm>(Main.get());
  Main->ShowOperationDialog = [this](unsigned uid) {
    OperationDialog->Setup(uid);
    OperationDialog->show();
    OperationDialog->raise();
    OperationDialog->activateWindow();
  };
  AnalyzerWindow = std::make_unique<TAnalyzerForm>(Main.get());
  Main->ShowAnalyzer = [this] {
    AnalyzerWindow->show();
    AnalyzerWindow->raise();
    AnalyzerWindow->activateWindow();
  };
  // While an experiment runs, nothing else may call the kernel.
  AnalyzerWindow->OnExperimentRunning = [this](bool running) {
    Main->SetExperimentRunning(running);
    OperationDialog->setEnabled(!running);
  };

  ResampleDialog = std::make_unique<TResampleForm>(Main.get());
  Main->RunResampleDialog = [this](int width, int height) {
    ResampleDialog->Setup(width, height);
    return ResampleDialog->exec() == QDialog::Accepted;
  };
}

void TKvadraApplication::CreatePreferences(const sStartOptions& options)
{
  // The researcher's settings are in force before the first picture is measured.
  if (!options.SettingsFile.isEmpty()) {
    Settings = std::make_unique<QSettings>(options.SettingsFile, QSettings::IniFormat);
    TPreferencesForm::LoadSettings(*Settings, *GlobalParams);
  }
  PreferencesDialog = std::make_unique<TPreferencesForm>(Main.get());
  PreferencesDialog->Store = Settings.get();
  AnalyzerWindow->RestoreSize(Settings.get());
  Main->ShowPreferences = [this] { PreferencesDialog->exec(); };
}

void TKvadraApplication::StartKernel(const sStartOptions& options)
{
  Host = std::make_unique<TQtKernelHost>();
  Facade = std::make_unique<cKvadraSystem>(Host.get());
  KvadraSystem = Facade.get();

  Observers.push_back(std::make_unique<cKvadraMainFormObserver>());
  Observers.push_back(std::make_unique<cSplashFormObserver>());
  // The History and Image info observers come 3rd and 4th.
  Observers.push_back(std::make_unique<cHistoryToolFormObserver>());
  Observers.push_back(std::make_unique<cImageInfoToolFormObserver>());
  Observers.push_back(std::make_unique<cAutoOperationFormObserver>());
  Observers.push_back(std::make_unique<cAnalyzerFormObserver>());
  for (auto& observer : Observers) Facade->AddObserver(observer.get());

  const std::string folder = options.PlugInFolder.isEmpty()
                                 ? kvPlugInFolder(QFile::encodeName(QApplication::applicationDirPath()).toStdString())
                                 : QFile::encodeName(options.PlugInFolder).toStdString();
  Facade->LoadPlugIns(folder);
}

void TKvadraApplication::FinishSplash(const sStartOptions& options)
{
  SplashWindow->SetSplashStatus("");
  SplashWindow->SetSplashStatus("Done.");
  if (options.SplashPauseMs > 0) {
    // The loop keeps running so the splash stays painted.
    QEventLoop pause;
    QTimer::singleShot(options.SplashPauseMs, &pause, &QEventLoop::quit);
    pause.exec();
  }
  SplashWindow->hide();
}

void TKvadraApplication::ShowMaximized()
{
  Main->showMaximized();
  // The dock sizes hold once the window manager has maximised the window (the small
  // window it starts as leaves the docks no room).
  QTimer::singleShot(0, Main.get(), [this] { ApplyDockSizes(); });
  if (QWindow* window = Main->windowHandle()) {
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = QObject::connect(window, &QWindow::widthChanged, Main.get(), [this, once](int) {
      QObject::disconnect(*once);
      QTimer::singleShot(0, Main.get(), [this] { ApplyDockSizes(); });
    });
  }
}

void TKvadraApplication::DockToolWindows()
{
  // The right dock area takes History's width (wide enough for the histogram's turned axis
  // labels); History fills it, Image info sits at its bottom.
  const int historyWidth = std::max(HistoryForm->width(), NarrowestDock);
  Main->addDockWidget(Qt::RightDockWidgetArea, HistoryForm.get());
  Main->splitDockWidget(HistoryForm.get(), ImageInfoForm.get(), Qt::Vertical);
  HistoryForm->show();
  ImageInfoForm->show();
  DockWidth = historyWidth;
  DockInfoHeight = ImageInfoForm->height();
  ApplyDockSizes();
  HistoryForm->RefreshGrid();
  HistoryForm->SetupColumns();
}

void TKvadraApplication::ApplyDockSizes()
{
  if (!Main || !HistoryForm || !ImageInfoForm) return;
  Main->resizeDocks({HistoryForm.get()}, {DockWidth}, Qt::Horizontal);
  Main->resizeDocks({ImageInfoForm.get()}, {DockInfoHeight}, Qt::Vertical);
}

void TKvadraApplication::Shutdown()
{
  if (!Facade) return;
  Facade.reset();
  KvadraSystem = nullptr;
  Observers.clear();
  AnalyzerWindow.reset();
  OperationDialog.reset();
  ResampleDialog.reset();
  PreferencesDialog.reset();
  Settings.reset();
  ImageInfoForm.reset();
  HistoryForm.reset();
  Host.reset();
  SplashWindow.reset();
  Main.reset();
}
