#pragma once
// The one object through which a front end drives the kernel: it owns the operation pool, the
// image storage, the message hub, the processing server and the analyzer, and offers flat
// operations in terms of history indices and operation UIDs.
#include <string>

#include "kvAnalysis/cAnalyzer.h"
#include "kvImages/cImage.h"
#include "kvMessages/iKernelHost.h"
#include "kvMessages/iObserver.h"
#include "kvOperations/cOperationParams.h"
#include "kvPixels/cBMPSurface.h"

class cImageStorage;
class cKvadraServer;
class cObservableSubject;

class cKvadraSystem : public iObserver {
public:
  // The host stands for the application and its main window; it must outlive the facade.
  explicit cKvadraSystem(iKernelHost* application);
  ~cKvadraSystem() override;
  cKvadraSystem(const cKvadraSystem&) = delete;
  cKvadraSystem& operator=(const cKvadraSystem&) = delete;

  // Observer: drops the windowed indices of the history when their settings changed.
  void Update(sMessage& message) override;
  void AddObserver(iObserver* observer);
  iKernelHost* GetHost() const { return Application; }

  // --- Plug-ins and operations ---
  // Loads every package file ("*.so") of the folder in ascending name order.
  void LoadPlugIns(const std::string& folder);
  void GetOperationGroupAndName(unsigned uid, std::string& group, std::string& name, std::string& type);
  cOperationParams* GetOperationParams(unsigned uid);
  unsigned GetOperationsCount() const;
  // 0 when no operation has this name.
  unsigned FindOperationUID(const std::string& name) const;
  void SelectOperation(unsigned uid);
  unsigned GetSelectedOperation() const;
  void SelectedFilterExecute(bool save);
  void TerminateOperation();
  bool IsBusy() const;
  bool GetRGBOnly(unsigned uid);
  void GetTotalVariationAndAutoForm(unsigned uid, bool& totalVariation, bool& autoForm);

  // --- Images and history ---
  // Returns whether a picture was loaded (false: unreadable, or declined replacement).
  bool LoadImage(const std::string& fileName);
  // Returns whether the file was written.
  bool SaveCurrentImage(const std::string& fileName);
  void GetImageSizes(int& width, int& height, int& channels);
  int GetCurrentImageID() const;
  int GetOriginID() const;
  void SetCurrentImageID(int id);
  // -1 gives nullptr; other indices must be valid (std::out_of_range otherwise).
  cImage* GetImage(int index) const;
  int SavedImageCount() const;
  cImage* GetResultImage() const;
  // The region of the next run (Execute's preview of the visible part: the rectangle, right and
  // bottom exclusive, with wholeImage false; a full preview or a saved run: wholeImage true).
  // The only way a front end sets it: a run still going is stopped and its end handled first.
  void SetProcessingRegion(bool wholeImage, const sRect& rect);
  // Sets the flag alone and keeps the rectangle (the dialog's OK before a saved run).
  void SetWholeImage(bool wholeImage);
  void Undo();
  void DeleteAllSavedImage();
  void FullPreview(bool on);
  bool GetFullPreviewMode() const { return FullPreviewMode; }
  cBMPSurface* GetRenderedSurface(const sRect& rect);
  cBMPSurface* GetSpectrumSurface(SpectrumType type, double scale, bool flag);

  // --- Analyzer ---
  void EnterAnalyzerMode();
  void ExitAnalyzerMode();
  void AnalyzerClear();
  void AnalyzerAddCorruptionSeries(sCorruptionSeriesInfo info);
  void AnalyzerAddRestoration(unsigned uid);
  // Refuses with a message when no picture is loaded.
  void AnalyzerExecute();
  // Carries each operation and measurement of an experiment (see cAnalyzer); empty: in place.
  void AnalyzerSetRunner(tAnalyzerRunner runner);
  bool AnalyzerIsRunning() const;
  // Stops a running experiment before its next operation (callable from any thread).
  void AnalyzerCancel();
  bool AnalyzerWasCancelled() const;
  int AnalyzerGetRestorationCount() const;
  int AnalyzerGetSeriesCount() const;
  std::string AnalyzerGetRestorationNameAt(int index) const;
  unsigned AnalyzerSelectRestorationParams(int index);
  void AnalyzerUpdateParams(int index);
  void AnalyzerSetCriterion(const std::string& criterion);
  // Every restored picture is measured once for all of them; the first is the one
  // AnalyzerGetResultAt reads.
  void AnalyzerSetCriteria(const std::vector<std::string>& criteria);
  std::vector<std::string> AnalyzerGetCriteria() const;
  double AnalyzerGetCriterionValueAt(unsigned series, unsigned sample, unsigned criterion) const;
  std::string AnalyzerGetSeriesName(int index) const;
  // Series keep their points separately: series S holds points 0 .. AnalyzerGetSeriesLenght(S)-1,
  // point k belonging to sweep value k. After a stopped or failed experiment the series
  // restored before the stop at its sweep value hold one point more than the others.
  int AnalyzerGetSeriesLenght(int index) const;
  // The points of a series measured so far (while an experiment runs, the rest are placeholders).
  int AnalyzerGetPointsMade(int index) const;
  // Requires sample < AnalyzerGetSeriesLenght(series).
  void AnalyzerGetResultAt(unsigned series, unsigned sample, double& x, double& y) const;
  // Rows of a table of every series: the sweep values with a point in at least one series.
  int AnalyzerGetSweepLength() const;
  // Sweep value k (the x of point k of every series that has it); k < AnalyzerGetSweepLength().
  double AnalyzerGetSweepValueAt(int k) const;
  // Why an operation failed and ended the last experiment; empty when none failed.
  std::string AnalyzerGetFailure() const;
  std::string AnalyzerGetExperimentTitle() const;
  std::string AnalyzerGetBottomTitle() const;
  std::string AnalyzerGetLeftTitle() const;
  std::string AnalyzerGetOperationTitle() const;

private:
  cKvadraServer* Server() const;

  iKernelHost* Application;
  bool FullPreviewMode = false;
  cImageStorage* ImageStorage = nullptr;
  cAnalyzer* Analyzer = nullptr;
};

// Set by the front end that creates the facade (the constructor sets it too).
extern cKvadraSystem* KvadraSystem;
