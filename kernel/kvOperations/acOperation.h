#pragma once
// The contract between the kernel and every operation: bind a source and a result image,
// then Execute copies the source into the result and processes the region.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "kvImages/cImage.h"
#include "kvOperations/cOperationParams.h"
#include "kvOperations/eOperationTypes.h"
#include "kvPixels/cBMPSurface.h"

// How the desktop program asks for an operation's parameters (the values of FormMode).
enum eFormMode : uint8_t { fmNoDialog = 0, fmParamDialog = 1, fmOwnDialog = 2 };

// Caller-owned stop request, read repeatedly by a running operation, written by another thread.
using tTerminateFlag = std::atomic<bool>;

class acOperation {
public:
  acOperation();
  virtual ~acOperation();
  acOperation(const acOperation&) = delete;
  acOperation& operator=(const acOperation&) = delete;

  virtual void OperationStarted() {}
  virtual void OperationFinished() {}
  virtual void OperationTerminated() {}
  virtual void OperationItself(const tTerminateFlag& terminated) {}
  virtual void* CreateParamForm() { return nullptr; }
  virtual void Execute(const tTerminateFlag& terminated);
  virtual std::string GetShortInfoString();

  // Binds the images and takes the result image's processing region for the run.
  void SetInterfaces(cImage* source, cImage* result);
  std::string GetName() const { return Name; }
  std::string GetGroupName() const { return GroupName; }
  std::string GetOperationType() const { return OperationType; }
  cOperationParams* GetParams() { return Params; }
  uint8_t GetFormMode() const { return FormMode; }
  bool GetTotalVariation() const { return TotalVariation; }
  bool GetRGBOnly() const { return RGBOnly; }
  // Stores percent into the result image, read by the main thread's progress timer.
  void OperationProgress(unsigned percent);
  // Whether the last run ended as stopped by the operation itself (see StopRun).
  bool StoppedItself() const { return SelfStopped; }

  unsigned FirstRow = 0;
  unsigned EndRow = 0;
  unsigned FirstColumn = 0;
  unsigned EndColumn = 0;
  std::string Name = "AbstructOperation";
  std::string GroupName = "AbstructGroup";
  std::string OperationType = otFilter;
  // 0 no dialog, 1 automatic parameter dialog, 2 a dialog of the front end's own.
  uint8_t FormMode = 0;
  cOperationParams* Params;
  cImage* SourceImage = nullptr;
  cImage* ResultImage = nullptr;
  // The region of the run, taken from the result image by SetInterfaces on the thread that
  // starts the run: a worker never reads the image's own region, which a front end may be
  // setting for the next run.
  bool RunWholeImage = true;
  sRect RunRect;
  cBMPSurface* SourceSurface = nullptr;
  cBMPSurface* ResultSurface = nullptr;
  bool TotalVariation = false;
  bool RGBOnly = false;

protected:
  // What a concrete constructor states first, before declaring its parameters: the name and
  // group in the menus, the type, how its parameters are asked for, and whether its result
  // changes the picture's geometry.
  void Describe(std::string name, std::string group, const char* type, eFormMode formMode, bool totalVariation = false);

  // Progress in percent: an operation's own work reports up to WorkProgress; Execute reports
  // DoneProgress when the result is in place.
  static constexpr unsigned WorkProgress = 99;
  static constexpr unsigned DoneProgress = 100;

  // Calls row(y) for every row of the run's region, stopping between rows on a stop request
  // and reporting progress from progressFrom to progressTo percent as rows complete. Parallel:
  // rows in contiguous bands on the kernel's worker threads, so row must be safe to run at once
  // for different rows; otherwise in order on this thread.
  void DriveRows(const tTerminateFlag& terminated, bool parallel, const std::function<void(int y)>& row,
                 unsigned progressFrom = 0, unsigned progressTo = WorkProgress);

  // Ends the run as a stopped one when the operation cannot do its work (a missing data file):
  // Execute then titles and reports it like a run the user stopped.
  void StopRun() { SelfStopped = true; }

private:
  bool SelfStopped = false;
};
