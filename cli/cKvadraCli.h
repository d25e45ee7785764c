#pragma once
// The command-line front end: a thin layer over the system facade and the kernel's plain
// event loop, for scripted corrupt-restore-measure experiments.
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "cArgumentReader.h"
#include "cJsonValue.h"
#include "cPlainEventLoop.h"
#include "cResultTable.h"

class cKvadraSystem;
class cImage;
class cOperationParams;

class cKvadraCli {
public:
  // programPath: argv[0], used to find plug-ins/ and samples/ beside the executable.
  cKvadraCli(std::string programPath, std::ostream& out);
  ~cKvadraCli();

  int Run(const std::vector<std::string>& allArguments);

  // Set by the SIGINT handler; long commands stop at the next safe point.
  static void RequestCancel();

private:
  void StartSystem();
  int CommandList(cArgumentReader& args);
  int CommandRun(cArgumentReader& args);
  int CommandMeasure(cArgumentReader& args);
  int CommandAnalyze(cArgumentReader& args);
  int CommandSpectrum(cArgumentReader& args);
  int CommandDemo(cArgumentReader& args);
  int CommandMerge(cArgumentReader& args);

  // analyze over several pictures: each picture in a child process (see cDatasetRunner).
  int AnalyzeDataset(const std::vector<std::string>& inputs, cJsonValue experiment,
                     const std::vector<std::string>& experimentArguments, const std::string& shard,
                     unsigned shardIndex, unsigned shardCount, unsigned jobs, const std::string& csv,
                     const std::string& json);
  // One picture's run for an experiment over several: its values and geometry for the parent.
  void WriteWorkerResult(const std::string& file, bool cancelled);
  // SIGTERM (a batch system's time limit, GNU parallel's --termseq) stops like Ctrl-C, so the
  // partial is written; only where partials exist.
  static void InstallTerminationHandler();

  // UID of the operation named (exact, else ignoring case); usage error with suggestions.
  unsigned OperationUID(const std::string& name) const;
  std::vector<std::string> OperationNames() const;
  void LoadOrigin(const std::string& file);
  // Why a picture could not be loaded, for the error line.
  static std::string LoadFailureText(const std::string& file, const cImage& image);
  // Applies --max-pixels N and --threads N (wherever they stand) and returns the other arguments.
  static std::vector<std::string> TakeSettings(const std::vector<std::string>& arguments);
  // Runs the operation on the current picture as a saved step; region: nullptr = whole picture.
  void RunSavedStep(unsigned uid, const int* region);
  // Waits for the background indices of every history entry.
  void CompleteMeasures();
  cResultTable HistoryTable();
  void SaveCurrent(const std::string& file);
  void SaveImageAtomically(cImage& image, const std::string& file);
  std::string ExecutableFolder() const;

  std::string ProgramPath;
  std::ostream& Out;
  std::unique_ptr<cPlainEventLoop> Loop;
  std::unique_ptr<cKvadraSystem> System;
};
