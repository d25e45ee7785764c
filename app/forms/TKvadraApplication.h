#pragma once
// Start-up and shutdown of the desktop program in their fixed order: windows, splash, kernel
// facade, observers, packages, tool windows; at the end the facade before the observers.
#include <QString>
#include <memory>
#include <vector>

class TQtKernelHost;
class TKvadraMainForm;
class TSplashForm;
class TAutoOperationForm;
class TAnalyzerForm;
class TPreferencesForm;
class TResampleForm;
class QSettings;
class THistoryToolForm;
class TImageInfoToolForm;
class cKvadraSystem;
class iObserver;

struct sStartOptions {
  QString PlugInFolder;  // empty: "plug-ins" beside the executable
  int SplashPauseMs = 777;
  bool ShowWindows = true;  // tests build everything without showing it
  // Where confirmed preferences are kept and read at start-up; empty keeps nothing.
  QString SettingsFile;
};

class TKvadraApplication {
public:
  TKvadraApplication();
  ~TKvadraApplication();
  TKvadraApplication(const TKvadraApplication&) = delete;
  TKvadraApplication& operator=(const TKvadraApplication&) = delete;

  void Start(const sStartOptions& options);
  void Shutdown();

  TKvadraMainForm* MainForm() const { return Main.get(); }
  TSplashForm* Splash() const { return SplashWindow.get(); }
  cKvadraSystem* System() const { return Facade.get(); }
  TAutoOperationForm* OperationForm() const { return OperationDialog.get(); }
  TAnalyzerForm* Analyzer() const { return AnalyzerWindow.get(); }
  TPreferencesForm* Preferences() const { return PreferencesDialog.get(); }
  TResampleForm* Resample() const { return ResampleDialog.get(); }
  THistoryToolForm* HistoryWindow() const { return HistoryForm.get(); }
  TImageInfoToolForm* ImageInfoWindow() const { return ImageInfoForm.get(); }

private:
  // The steps of Start, in their order.
  void CreateWindows();
  void CreatePreferences(const sStartOptions& options);
  void StartKernel(const sStartOptions& options);
  void FinishSplash(const sStartOptions& options);
  void ShowMaximized();
  void DockToolWindows();
  void ApplyDockSizes();

  std::unique_ptr<TKvadraMainForm> Main;
  std::unique_ptr<TSplashForm> SplashWindow;
  std::unique_ptr<TAutoOperationForm> OperationDialog;
  std::unique_ptr<TAnalyzerForm> AnalyzerWindow;
  std::unique_ptr<TResampleForm> ResampleDialog;
  std::unique_ptr<TPreferencesForm> PreferencesDialog;
  std::unique_ptr<QSettings> Settings;
  std::unique_ptr<THistoryToolForm> HistoryForm;
  std::unique_ptr<TImageInfoToolForm> ImageInfoForm;
  std::unique_ptr<TQtKernelHost> Host;
  std::unique_ptr<cKvadraSystem> Facade;
  std::vector<std::unique_ptr<iObserver>> Observers;
  int DockWidth = 0;
  int DockInfoHeight = 0;
};
