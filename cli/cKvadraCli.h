#pragma once
// The command-line front end: a thin layer over the system facade and the kernel's plain
// event loop, for scripted corrupt-restore-measure experiments.
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cArgumentReader.h"
#include "cJsonValue.h"
#include "cPaperTable.h"
#include "cParameterAssigner.h"
#include "cResultTable.h"
#include "kvMessages/cPlainEventLoop.h"

class cDatasetResults;
class cKvadraSystem;
class cImage;

class cKvadraCli {
public:
  // programPath: argv[0], used to find plug-ins/ and samples/ beside the executable.
  cKvadraCli(std::string programPath, std::ostream& out);
  ~cKvadraCli();

  int Run(const std::vector<std::string>& allArguments);

  // Set by the SIGINT handler; long commands stop at the next safe point.
  static void RequestCancel();

private:
  // analyze's command line as typed.
  struct sAnalyzeOptions {
    std::vector<std::string> Inputs;
    sOperationSettings Corruption;
    std::string SweptName;
    double SweepMin = 0, SweepMax = 0;
    long long SweepSteps = 0;
    bool HasSweep = false;
    // --param NAME --values A,B,...: the sweep takes exactly these values, in this order.
    std::vector<double> Values;
    std::vector<sOperationSettings> Restorations;
    // Every --criterion in order; PSNR when none is given.
    std::vector<std::string> Criteria;
    std::string Table, TableOut;
    bool PerPicture = false;
    std::optional<uint64_t> Seed;
    std::string Csv, Json, Shard;
    std::string Worker;  // internal: one picture's run for an experiment over several
    long long Jobs = 0;  // 0: one per processor
    bool ForceDataset = false;
    // What every picture's run of an experiment over several pictures is given, as typed.
    std::vector<std::string> ExperimentArguments;
  };
  // analyze's operations found in the packages, their settings checked.
  struct sAnalyzeExperiment {
    unsigned CorruptionUID = 0;
    int SweepIndex = 0;
    std::vector<unsigned> RestorationUIDs;
  };

  void StartSystem();
  int CommandList(cArgumentReader& args);
  int CommandRun(cArgumentReader& args);
  int CommandMeasure(cArgumentReader& args);
  int CommandEstimate(cArgumentReader& args);
  int CommandAnalyze(cArgumentReader& args);
  int CommandSpectrum(cArgumentReader& args);
  int CommandDemo(cArgumentReader& args);
  int CommandMerge(cArgumentReader& args);
  int CommandCompare(cArgumentReader& args);

  // analyze, step by step: the options, the operations they name, then the run on one picture
  // or on several.
  static sAnalyzeOptions ReadAnalyzeOptions(cArgumentReader& args);
  static void ReadAnalyzeOption(cArgumentReader& args, const std::string& argument, sAnalyzeOptions& options);
  static void CheckAnalyzeOptions(sAnalyzeOptions& options);
  static void ReadSweep(cArgumentReader& args, sAnalyzeOptions& options);
  static void ReadValues(const std::string& text, sAnalyzeOptions& options);
  static unsigned SweepCount(const sAnalyzeOptions& options);
  // The paper's table (--table FORMAT) to --table-out FILE, or to stdout when no file is named.
  void WriteTable(const cPaperTable& table, const std::string& format, const std::string& file, bool toStdout);
  static bool IsDatasetRun(const sAnalyzeOptions& options);
  sAnalyzeExperiment PrepareExperiment(const sAnalyzeOptions& options);
  int AnalyzePicture(const sAnalyzeOptions& options, const sAnalyzeExperiment& experiment);
  void SetUpAnalyzer(const sAnalyzeOptions& options, const sAnalyzeExperiment& experiment);
  // Runs the analyzer with a progress bar (or, in a worker, a line per point to the parent).
  void RunAnalyzer(const sAnalyzeOptions& options);
  // seed: the one the noise was drawn from; none when the clock chose it.
  int ReportPictureRun(const sAnalyzeOptions& options, std::optional<uint64_t> seed);
  // analyze over several pictures: each picture in a child process (see cDatasetRunner).
  int AnalyzeDataset(const sAnalyzeOptions& options, const sAnalyzeExperiment& experiment);
  // The experiment as every partial names it, with the base seed of the pictures' noise.
  cJsonValue DescribeExperiment(const sAnalyzeOptions& options, const sAnalyzeExperiment& experiment, uint64_t seed);
  // One picture's run for an experiment over several: its values and geometry for the parent.
  void WriteWorkerResult(const std::string& file, bool cancelled);
  // SIGTERM (a batch system's time limit, GNU parallel's --termseq) stops like Ctrl-C, so the
  // partial is written; only where partials exist.
  static void InstallTerminationHandler();

  // UID of the operation named (exact, else ignoring case); usage error with suggestions.
  unsigned OperationUID(const std::string& name) const;
  // The operation's UID, its settings tried on a copy of its parameters: every name and value
  // is checked before any work is done.
  unsigned CheckedOperation(const sOperationSettings& operation);
  void LoadOrigin(const std::string& file);
  // Applies --max-pixels N and --threads N (wherever they stand) and returns the other arguments.
  static std::vector<std::string> TakeSettings(const std::vector<std::string>& arguments);
  // Runs the operation on the current picture as a saved step; region: nullptr = whole picture.
  void RunSavedStep(unsigned uid, const int* region);
  // Waits for the background indices of every history entry.
  void CompleteMeasures();
  cResultTable HistoryTable();
  void SaveCurrent(const std::string& file);
  void SaveImageAtomically(cImage& image, const std::string& file);
  // The --csv and --json files (empty names: none), then the table on stdout.
  void WriteResults(const cResultTable& table, const std::string& csv, const std::string& json,
                    const std::string& jsonText, bool printTable = true);
  std::string ExecutablePath() const;
  std::string ExecutableFolder() const;

  // The command as typed, quoted for a shell: the tables and the JSON name it.
  std::string CommandLine;
  std::string ProgramPath;
  std::ostream& Out;
  std::unique_ptr<cPlainEventLoop> Loop;
  std::unique_ptr<cKvadraSystem> System;
};
