#include "TKvadraApplication.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include "TKvadraMainForm.h"
#include "TQtKernelHost.h"
#include "TSplashForm.h"
#include "cKvadraMainFormObserver.h"
#include "cKvadraSystem.h"
#include "cSplashFormObserver.h"

TKvadraApplication::TKvadraApplication() = default;

TKvadraApplication::~TKvadraApplication()
{
  Shutdown();
}

void TKvadraApplication::Start(const sStartOptions& options)
{
  QApplication::setApplicationName("Kvadra 2 - The Tessellary");
  Main = std::make_unique<TKvadraMainForm>();
  SplashWindow = std::make_unique<TSplashForm>();
  Main->ShowAbout = [this] { SplashWindow->ShowAbout(); };

  Main->hide();
  if (options.ShowWindows) SplashWindow->ShowSplash();
  SplashWindow->SetSplashStatus("Starting application...");

  Host = std::make_unique<TQtKernelHost>();
  Facade = std::make_unique<cKvadraSystem>(Host.get());
  KvadraSystem = Facade.get();

  Observers.push_back(std::make_unique<cKvadraMainFormObserver>());
  Observers.push_back(std::make_unique<cSplashFormObserver>());
  for (auto& observer : Observers) Facade->AddObserver(observer.get());

  const QString folder =
      options.PlugInFolder.isEmpty() ? QApplication::applicationDirPath() + "/plug-ins/" : options.PlugInFolder;
  Facade->LoadPlugIns(QFile::encodeName(folder).toStdString());

  SplashWindow->SetSplashStatus("");
  SplashWindow->SetSplashStatus("Done.");
  if (options.SplashPauseMs > 0) {
    // The loop keeps running so the splash stays painted.
    QEventLoop pause;
    QTimer::singleShot(options.SplashPauseMs, &pause, &QEventLoop::quit);
    pause.exec();
  }
  SplashWindow->hide();
  Main->UpdateActions();
  if (options.ShowWindows) Main->showMaximized();
}

void TKvadraApplication::Shutdown()
{
  if (!Facade) return;
  Facade.reset();
  KvadraSystem = nullptr;
  Observers.clear();
  Host.reset();
  SplashWindow.reset();
  Main.reset();
}
