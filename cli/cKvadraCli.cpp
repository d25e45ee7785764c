#include "cKvadraCli.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <sstream>

#include "cAnalyzerResults.h"
#include "cCliError.h"
#include "cDatasetResults.h"
#include "cDatasetRunner.h"
#include "cHistoryResults.h"
#include "kvFacade/cKvadraSystem.h"
#include "cNameMatcher.h"
#include "cOperationCatalog.h"
#include "cProgressReporter.h"
#include "kvRuntime/cuGlobalParameters.h"
#include "kvRuntime/kvDiagnostics.h"
#include "kvImages/cImage.h"
#include "kvMeasures/cPictureComparison.h"
#include "kvFiles/cPngFile.h"
#include "kvRuntime/kvInstallPaths.h"
#include "kvMessages/cUserDialogs.h"
#include "kvMessages/iObserver.h"
#include "kvOperations/cRandomGenerator.h"
#include "kvRuntime/cWorkerPool.h"
#include "kvWavelet/kvNoiseSigma.h"

namespace {

std::atomic<bool> CancelRequested{false};

// The demo's noise is drawn from a fixed seed, so that it shows the same pictures every time.
constexpr uint64_t DemoSeed = 2026;
const char* const DemoNoiseSetting = "Noise percent=0.2";
const char* const DemoNoise = "Salt-and-Pepper Noise";
// Limits of values that would otherwise only run out of memory or time.
constexpr long long MaxSweepSteps = 100000;
constexpr long long MaxJobs = 4096;
constexpr double DefaultSpectrumScale = 20.0;
constexpr double MaxSpectrumScale = 1e6;

const char* const MainHelp =
    "Usage: kvadra COMMAND [OPTIONS]\n"
    "\n"
    "Corrupt, restore and measure pictures from scripts.\n"
    "\n"
    "Commands:\n"
    "  list       every operation with its parameters\n"
    "  run        run operations on a picture and print the history of measures\n"
    "  measure    measure a picture against an origin\n"
    "  estimate   estimate the noise level of a picture\n"
    "  analyze    sweep a corruption parameter and measure every restoration, on one picture\n"
    "             or on many (mean, spread and count), on all cores or split into shards\n"
    "  merge      combine the partial results of analyze's shards\n"
    "  spectrum   write the magnitude or phase spectrum picture\n"
    "  compare    write the difference, SSIM map or squared-error map of two pictures\n"
    "  demo       corrupt a sample picture and restore it with three filters\n"
    "\n"
    "Options: --help (also after a command), --version,\n"
    "         --max-pixels N  refuse pictures of more than N pixels (default 120000000), anywhere\n"
    "         --threads N     split each operation over at most N threads (1..256; default: every\n"
    "                         core, or KVADRA_THREADS), anywhere\n"
    "Exit codes: 0 success, 1 failure, 2 usage error.\n";

const std::map<std::string, std::string> CommandHelp = {
    {"list",
     "Usage: kvadra list [--json]\n"
     "Lists every operation in UID order: UID<TAB>type<TAB>group<TAB>name, then one line per parameter:\n"
     "<TAB>index<TAB>name<TAB>kind<TAB>min<TAB>max<TAB>default[<TAB>choice|choice...].\n"},
    {"run",
     "Usage: kvadra run INPUT {--op NAME [--set PARAM=VALUE]...}... [--region L,T,R,B]\n"
     "                  [--out FILE.bmp|FILE.png] [--history FILE.csv] [--seed N]\n"
     "Loads INPUT as the origin and runs each --op in order on the current picture, saving each\n"
     "result to the history. --set applies to the --op before it. --region limits every op to the\n"
     "rectangle (right and bottom exclusive). Prints the history table; --out writes the final\n"
     "picture (BMP or PNG, by its extension), --history the table as CSV. --seed N makes the\n"
     "noises reproducible. INPUT may be a BMP, JPEG, PNG or TIFF picture, whatever its name.\n"},
    {"measure",
     "Usage: kvadra measure IMAGE --origin ORIGIN [--window WxH] [--k1 X] [--k2 X]\n"
     "Prints MSE, PSNR, IQ, IQHVS and SSIM of IMAGE against ORIGIN (same size and channels), then\n"
     "the noise sigma of IMAGE alone (see 'kvadra estimate').\n"},
    {"estimate",
     "Usage: kvadra estimate PICTURE\n"
     "Prints the standard deviation of the picture's Gaussian noise in grey levels, estimated from\n"
     "the median absolute value of its finest diagonal wavelet subband: the mean over the channels\n"
     "(\"Noise sigma\"), then one line per channel (Grey, or Red, Green and Blue).\n"},
    {"analyze",
     "Usage: kvadra analyze INPUT... --corrupt NAME [--set PARAM=VALUE]...\n"
     "                      {--sweep PARAM MIN MAX STEPS | --param PARAM --values V1,V2,...}\n"
     "                      {--restore NAME[:PARAM=VALUE[;PARAM=VALUE]...]}...\n"
     "                      [--criterion MSE|PSNR|IQ|IQHVS|SSIM|Time]... [--seed N] [--csv FILE] [--json FILE]\n"
     "                      [--table markdown|latex|csv [--table-out FILE] [--per-picture]]\n"
     "                      [--jobs J] [--shard K/N] [--dataset]\n"
     "Corrupts INPUT once per sweep value (MIN to MAX in STEPS steps, or exactly the --values in\n"
     "their order), restores every corrupted picture with each --restore and prints one line per\n"
     "sweep value with the criterion of every restoration. --criterion may be given several times:\n"
     "every restored picture is measured once for each, and the CSV and JSON gain a criterion\n"
     "column. Ctrl-C stops after the current operation and keeps the points made.\n"
     "  --table F     the paper's table: a row per restoration, per sweep value a column per\n"
     "                criterion, means at the precision papers use (PSNR 2 decimals, SSIM 4), the\n"
     "                best of each column in bold; with the command, version and base seed in a\n"
     "                comment. Printed instead of the plain table, or written to --table-out FILE\n"
     "  --per-picture adds one block of rows per picture to the table\n"
     "\n"
     "Several pictures, or folders (their .bmp, .jpg, .jpeg, .png, .tif, .tiff files), run the same\n"
     "experiment on every picture, in file-name order; the table then has, per sweep value and\n"
     "restoration, the mean, the sample standard deviation (sd) and the count (n) over the pictures,\n"
     "and the count of infinite values, which are left out of mean and sd. --json also keeps every\n"
     "picture's own values. A picture's noise is drawn from a seed made of --seed N and its file name,\n"
     "so it gives the same values alone (--dataset), in a subset or in the whole set; without --seed\n"
     "a base seed is drawn and recorded in the JSON. --dataset treats a single picture this way too.\n"
     "  --jobs J      run up to J pictures at once, each in a process of its own (default: the\n"
     "                number of processors this process may use); results do not depend on J\n"
     "  --shard K/N   run only the pictures whose place in the sorted list is K modulo N (0 <= K < N)\n"
     "                and write the partial to --json (needs --seed); see 'kvadra merge'\n"
     "Ctrl-C (or SIGTERM) stops the pictures that run and writes the finished ones to --json as a\n"
     "partial that 'kvadra merge' accepts (exit code 130).\n"},
    {"merge",
     "Usage: kvadra merge PARTIAL.json... [--csv FILE] [--json FILE]\n"
     "                    [--table markdown|latex|csv [--table-out FILE] [--per-picture]]\n"
     "Combines the --json files of analyze's shards (or of interrupted runs finished later) into the\n"
     "table, CSV and JSON that one run over all the pictures gives. Refuses files of different\n"
     "experiments (operations, parameters, sweep, criterion, seed) and a picture in two files.\n"},
    {"spectrum",
     "Usage: kvadra spectrum INPUT --kind magnitude|phase [--scale S] --out FILE.bmp|FILE.png\n"
     "Writes the spectrum picture of INPUT (scale defaults to 20) as BMP or PNG, by its extension.\n"},
    {"compare",
     "Usage: kvadra compare A B --mode difference|ssim-map|error-map|side-by-side --out FILE.png|FILE.bmp\n"
     "                      [--gain G] [--signed] [--grey] [--window WxH] [--k1 X] [--k2 X]\n"
     "Writes how picture B differs from picture A (same size and channels), as the desktop program's\n"
     "compare page shows it at 100 %: difference = |B - A| per channel times G (1..64, default 4), or\n"
     "128 + G (B - A) with --signed, as grey (the channels' mean) with --grey; ssim-map = the local\n"
     "SSIM of B against A (its mean is B's SSIM, printed) and error-map = (B - A)^2 (its mean is the\n"
     "MSE, printed), each in viridis colours with a colour bar; side-by-side = A and B.\n"
     "--window, --k1 and --k2 set SSIM as for 'measure'.\n"},
    {"demo",
     "Usage: kvadra demo [--seed N] [--out-dir DIR]\n"
     "Corrupts a sample picture with 20 % salt-and-pepper noise under a fixed seed, restores it\n"
     "with three filters of different families, prints the history table and writes the pictures\n"
     "into ./kvadra-demo/ (or DIR).\n"},
};

bool WantsHelp(cArgumentReader& args)
{
  return !args.AtEnd() && (args.Peek() == "--help" || args.Peek() == "-h");
}

// Counts analyzer points and stops the experiment when the user asked to.
class cAnalyzerProgressObserver : public iObserver {
public:
  cAnalyzerProgressObserver(cKvadraSystem& system, cProgressReporter& reporter, bool toParent = false)
      : System(system), Reporter(reporter), ToParent(toParent)
  {}
  void Update(sMessage& message) override
  {
    if (!Active) return;
    if (message.Msg == ANALYZER_POINT_READY) {
      ++Points;
      if (ToParent)
        std::cout << "point" << std::endl;
      else
        Reporter.Step(Points);
    }
    if (CancelRequested.load()) System.AnalyzerCancel();
  }
  bool Active = true;
  unsigned Points = 0;

private:
  cKvadraSystem& System;
  cProgressReporter& Reporter;
  bool ToParent;
};

std::string Geometry(const cImage& image)
{
  return std::to_string(image.GetWidth()) + " x " + std::to_string(image.GetHeight()) +
         (image.GetChannelsCount() == 1 ? " grey" : " colour");
}

// The format an output picture is written in, by its extension; checked before any work.
ePictureFormat OutputFormat(const std::string& file)
{
  const ePictureFormat format = cImage::FormatOfName(file);
  if (format != pfBMP && format != pfPNG)
    throw cCliError::Usage("--out must name a .bmp or .png file, got '" + file + "'");
  return format;
}

// "L,T,R,B" of --region.
void ParseRegion(const std::string& text, int region[4])
{
  std::vector<std::string> parts;
  std::stringstream stream(text);
  for (std::string part; std::getline(stream, part, ',');) parts.push_back(part);
  if (parts.size() != 4) throw cCliError::Usage("--region needs L,T,R,B, got '" + text + "'");
  for (size_t i = 0; i < 4; ++i) region[i] = int(cArgumentReader::RequireInt(parts[i], "--region"));
}

// Every parameter's value as the user would type it, but the one at skip (the swept one).
cJsonValue ParameterValues(const cOperationParams& params, int skip)
{
  cJsonValue values = cJsonValue::Object();
  for (int i = 0; i < params.GetParamsCount(); ++i)
    if (i != skip)
      values.Add(params.GetParam(unsigned(i))->GetName(),
                 cJsonValue::String(cParameterAssigner::ValueText(*params.GetParam(unsigned(i)))));
  return values;
}

// The values the analyzer sweeps, found as it finds them (cAnalyzer::ExecuteSweep): by
// repeated addition, each as the real parameter stores it. Every picture's run is checked
// against them.
cJsonValue SweepValues(const cOperationParams& corruption, int sweepIndex, double minimum, double maximum,
                       long long steps)
{
  cJsonValue values = cJsonValue::Array();
  cOperationParams probe(corruption);
  cOperationParameter& swept = *probe.GetParam(unsigned(sweepIndex));
  const double step = (maximum - minimum) / double(steps);
  for (double value = minimum; value <= maximum; value += step) {
    swept.SetValue(value);
    values.Add(cJsonValue::Number(swept.GetReal()));
    if (value + step == value) break;
  }
  return values;
}

// The listed values, each as the parameter stores it (an integer one takes whole values).
cJsonValue ListedSweepValues(const cOperationParams& corruption, int sweepIndex, const std::vector<double>& listed)
{
  cJsonValue values = cJsonValue::Array();
  cOperationParams probe(corruption);
  cOperationParameter& swept = *probe.GetParam(unsigned(sweepIndex));
  for (double value : listed) {
    if (swept.GetType() == ptInteger)
      swept.SetValue(int(value));
    else
      swept.SetValue(value);
    values.Add(cJsonValue::Number(swept.GetReal()));
  }
  return values;
}

// Without --seed, a base seed is drawn once and recorded, so that the run can be repeated.
uint64_t DrawnSeed()
{
  std::random_device device;
  return (uint64_t(device()) << 32) ^ device();
}

// The lines under a table of pictures, for those that did not finish.
void PrintUnfinished(const std::vector<sDatasetUnfinished>& unfinished)
{
  for (const auto& picture : unfinished) std::cerr << "  " << picture.File << ": " << picture.Reason << "\n";
}

// Runs a step of merge: what it refuses (std::runtime_error) is merge's failure.
template <typename tStep>
auto MergeFailure(const tStep& step)
{
  try {
    return step();
  } catch (const std::runtime_error& e) {
    throw cCliError::Failure(std::string("merge: ") + e.what());
  }
}

// Shards of one split that were not given: the merged result lacks their pictures.
void WarnOfMissingShards(const std::map<unsigned, std::vector<unsigned>>& shards)
{
  for (const auto& [count, seen] : shards) {
    std::string missing;
    for (unsigned k = 0; k < count; ++k)
      if (std::find(seen.begin(), seen.end(), k) == seen.end())
        missing += (missing.empty() ? "" : ", ") + std::to_string(k) + "/" + std::to_string(count);
    if (shards.size() > 1)
      std::cerr << "kvadra: merge: warning: the partials come from splits into different numbers of shards\n";
    if (!missing.empty()) std::cerr << "kvadra: merge: warning: shard " << missing << " not given\n";
  }
}

}  // namespace

cKvadraCli::cKvadraCli(std::string programPath, std::ostream& out) : ProgramPath(std::move(programPath)), Out(out) {}

cKvadraCli::~cKvadraCli()
{
  System.reset();
  Loop.reset();
}

void cKvadraCli::RequestCancel()
{
  CancelRequested.store(true);
}

std::string cKvadraCli::ExecutablePath() const
{
  std::error_code error;
  auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) self = std::filesystem::absolute(ProgramPath);
  return self.string();
}

std::string cKvadraCli::ExecutableFolder() const
{
  return std::filesystem::path(ExecutablePath()).parent_path().string();
}

void cKvadraCli::StartSystem()
{
  if (System) return;
  // Messages go to stderr; confirmations (a picture of other geometry) answer Yes.
  cUserDialogs::SetHandlers([](const std::string& text) { std::cerr << "kvadra: " << text << "\n"; },
                            [](const std::string&) { return true; });
  Loop = std::make_unique<cPlainEventLoop>();
  System = std::make_unique<cKvadraSystem>(Loop.get());
  // A package that cannot be loaded says why on stderr; the worker's debug texts stay quiet
  // unless KVADRA_DEBUG is set.
  System->LoadPlugIns(kvPlugInFolder(ExecutableFolder()));
  kvSetDebugOutputEnabled(std::getenv("KVADRA_DEBUG") != nullptr);
}

unsigned cKvadraCli::OperationUID(const std::string& name) const
{
  return cOperationCatalog::FindUID(*System, name, "'kvadra list' shows them all");
}

unsigned cKvadraCli::CheckedOperation(const sOperationSettings& operation)
{
  const unsigned uid = OperationUID(operation.Name);
  cOperationParams probe(*System->GetOperationParams(uid));
  cParameterAssigner::Configure(probe, operation);
  return uid;
}

std::vector<std::string> cKvadraCli::TakeSettings(const std::vector<std::string>& arguments)
{
  std::vector<std::string> rest;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    if (option != "--max-pixels" && option != "--threads") {
      rest.push_back(option);
      continue;
    }
    if (i + 1 == arguments.size()) throw cCliError::Usage(option + " needs a value");
    const std::string text = arguments[++i];
    const long long value = cArgumentReader::RequireInt(text, option);
    if (option == "--threads") {
      if (value < 1 || value > (long long)kvMaxThreadCount)
        throw cCliError::Usage("--threads must lie in 1.." + std::to_string(kvMaxThreadCount) + ", got '" + text + "'");
      kvSetThreadCount(unsigned(value));
      continue;
    }
    if (value < 1 || uint64_t(value) > cuGlobalParameters::MaxPixelsCeiling)
      throw cCliError::Usage("--max-pixels must lie in 1.." + std::to_string(cuGlobalParameters::MaxPixelsCeiling) +
                             ", got '" + text + "'");
    GlobalParams->SetMaxPixels(uint64_t(value));
  }
  return rest;
}

int cKvadraCli::Run(const std::vector<std::string>& allArguments)
{
  // Settings of every command that reads pictures or runs operations, so they may stand anywhere.
  const std::vector<std::string> arguments = TakeSettings(allArguments);
  std::vector<std::string> words = {"kvadra"};
  words.insert(words.end(), allArguments.begin(), allArguments.end());
  CommandLine = cPaperTable::ShellCommand(words);
  cArgumentReader args(arguments);
  if (args.AtEnd()) {
    std::cerr << MainHelp;
    return ecUsage;
  }
  const std::string command = args.Next();
  if (command == "--help" || command == "-h" || command == "help") {
    Out << MainHelp;
    return ecSuccess;
  }
  if (command == "--version") {
    Out << "kvadra " << KV_VERSION << "\n";
    return ecSuccess;
  }
  const auto help = CommandHelp.find(command);
  if (help == CommandHelp.end()) {
    std::vector<std::string> commands;
    for (auto& [name, text] : CommandHelp) commands.push_back(name);
    throw cCliError::Usage("unknown command '" + command + "'" + cNameMatcher::Suggestion(command, commands) +
                           "; see 'kvadra --help'");
  }
  if (WantsHelp(args)) {
    Out << help->second;
    return ecSuccess;
  }
  if (command == "list") return CommandList(args);
  if (command == "run") return CommandRun(args);
  if (command == "measure") return CommandMeasure(args);
  if (command == "estimate") return CommandEstimate(args);
  if (command == "analyze") return CommandAnalyze(args);
  if (command == "spectrum") return CommandSpectrum(args);
  if (command == "merge") return CommandMerge(args);
  if (command == "compare") return CommandCompare(args);
  return CommandDemo(args);
}

// ---------------------------------------------------------------- list

int cKvadraCli::CommandList(cArgumentReader& args)
{
  bool json = false;
  while (!args.AtEnd()) {
    const std::string option = args.Next();
    if (option != "--json") throw cArgumentReader::UnknownOption("list", option);
    json = true;
  }
  StartSystem();
  Out << (json ? cOperationCatalog::Json(*System) : cOperationCatalog::Text(*System));
  return ecSuccess;
}

// ---------------------------------------------------------------- shared steps

void cKvadraCli::LoadOrigin(const std::string& file)
{
  if (!std::filesystem::is_regular_file(file)) throw cCliError::Failure("cannot read picture '" + file + "'");
  const int before = System->SavedImageCount();
  System->LoadImage(file);
  Loop->RunUntilIdle();
  if (System->SavedImageCount() == before)
    throw cCliError::Failure(cCliError::LoadFailureText(file, *System->GetResultImage()));
}

void cKvadraCli::RunSavedStep(unsigned uid, const int* region)
{
  std::string group, name, type;
  System->GetOperationGroupAndName(uid, group, name, type);
  cImage* current = System->GetImage(System->GetCurrentImageID());
  if (System->GetRGBOnly(uid) && current->GetChannelsCount() != 3)
    throw cCliError::Failure("operation '" + name + "' needs a colour picture");
  if (region) {
    if (region[0] < 0 || region[1] < 0 || region[0] >= region[2] || region[1] >= region[3] ||
        region[2] > current->GetWidth() || region[3] > current->GetHeight())
      throw cCliError::Usage("--region " + std::to_string(region[0]) + "," + std::to_string(region[1]) + "," +
                             std::to_string(region[2]) + "," + std::to_string(region[3]) + " does not lie inside the " +
                             std::to_string(current->GetWidth()) + " x " + std::to_string(current->GetHeight()) +
                             " picture");
    System->SetProcessingRegion(false, sRect{region[0], region[1], region[2], region[3]});
  } else {
    System->SetWholeImage(true);
  }
  const int before = System->SavedImageCount();
  System->SelectOperation(uid);
  System->SelectedFilterExecute(true);
  Loop->RunUntil([this] { return !System->IsBusy(); });
  Loop->ProcessPending();
  bool totalVariation = false, autoForm = false;
  System->GetTotalVariationAndAutoForm(uid, totalVariation, autoForm);
  if (!totalVariation && System->SavedImageCount() != before + 1)
    throw cCliError::Failure("operation '" + name + "' did not complete");
  if (region) {
    // A region run is not measured by the server; measure it like a whole run.
    cImage* saved = System->GetImage(System->GetCurrentImageID());
    saved->CalculateProperties(System->GetImage(System->GetOriginID()));
  }
}

void cKvadraCli::CompleteMeasures()
{
  const std::vector<eQualityIndex> kinds = {qiIQ, qiIQHVS, qiSSIM};
  cHistoryResults::RequestIndices(*System, kinds);
  Loop->RunUntil([this] { return !cHistoryResults::AnyIndexRunning(*System); });
  Loop->ProcessPending();
  // Anything still not valid (a stopped computation) is computed here.
  cHistoryResults::CompleteIndices(*System, kinds);
}

cResultTable cKvadraCli::HistoryTable()
{
  CompleteMeasures();
  return cHistoryResults::Build(*System);
}

void cKvadraCli::SaveImageAtomically(cImage& image, const std::string& file)
{
  const std::string temporary = cResultTable::TemporaryNameBeside(file);
  if (!image.SaveImage(temporary, OutputFormat(file))) {
    std::remove(temporary.c_str());
    throw cCliError::Failure("cannot write '" + file + "'");
  }
  cResultTable::CommitTemporary(temporary, file);
}

void cKvadraCli::SaveCurrent(const std::string& file)
{
  SaveImageAtomically(*System->GetImage(System->GetCurrentImageID()), file);
}

void cKvadraCli::WriteResults(const cResultTable& table, const std::string& csv, const std::string& json,
                              const std::string& jsonText, bool printTable)
{
  if (!csv.empty()) cResultTable::WriteFileAtomically(csv, table.CsvText());
  if (!json.empty()) cResultTable::WriteFileAtomically(json, jsonText);
  if (printTable) table.WriteTabSeparated(Out);
}

void cKvadraCli::WriteTable(const cPaperTable& table, const std::string& format, const std::string& file, bool toStdout)
{
  eTableFormat kind = tfMarkdown;
  cPaperTable::ParseFormat(format, kind);
  if (!file.empty()) cResultTable::WriteFileAtomically(file, table.Text(kind));
  if (toStdout) Out << table.Text(kind);
}

// ---------------------------------------------------------------- run

int cKvadraCli::CommandRun(cArgumentReader& args)
{
  std::string input, out, history;
  std::vector<sOperationSettings> steps;
  bool hasRegion = false;
  int region[4] = {};
  std::optional<uint64_t> seed;
  while (!args.AtEnd()) {
    const std::string argument = args.Next();
    if (argument == "--op")
      steps.push_back({args.ValueOf(argument), {}});
    else if (argument == "--set") {
      const std::string setting = args.ValueOf(argument);
      if (steps.empty()) throw cCliError::Usage("--set '" + setting + "' must follow an --op");
      steps.back().Settings.push_back(setting);
    } else if (argument == "--region") {
      ParseRegion(args.ValueOf(argument), region);
      hasRegion = true;
    } else if (argument == "--out")
      out = args.ValueOf(argument);
    else if (argument == "--history")
      history = args.ValueOf(argument);
    else if (argument == "--seed")
      seed = cArgumentReader::RequireSeed(args.ValueOf(argument));
    else
      cArgumentReader::TakeOperand("run", argument, input);
  }
  if (input.empty()) throw cCliError::Usage("run: missing INPUT picture");
  if (!out.empty()) OutputFormat(out);
  StartSystem();
  std::vector<unsigned> uids;
  for (const sOperationSettings& step : steps) uids.push_back(CheckedOperation(step));
  if (seed) cRandomGenerator::SetSeed(*seed);
  LoadOrigin(input);
  for (size_t i = 0; i < steps.size(); ++i) {
    cParameterAssigner::Configure(*System->GetOperationParams(uids[i]), steps[i]);
    RunSavedStep(uids[i], hasRegion ? region : nullptr);
  }
  const cResultTable table = HistoryTable();
  if (!out.empty()) SaveCurrent(out);
  WriteResults(table, history, "", "");
  return ecSuccess;
}

// ---------------------------------------------------------------- measure

namespace {
// --window WxH, --k1 X and --k2 X of the windowed measures, as typed (0 / -1: not given).
struct sMeasureOptions {
  int WindowWidth = 0, WindowHeight = 0;
  double K1 = -1, K2 = -1;

  // True when argument was one of them (its value is then taken).
  bool Take(cArgumentReader& args, const std::string& argument)
  {
    if (argument == "--window") {
      const std::string text = args.ValueOf(argument);
      const size_t x = text.find_first_of("xX");
      if (x == std::string::npos) throw cCliError::Usage("--window needs WxH, got '" + text + "'");
      WindowWidth = int(cArgumentReader::RequireInt(text.substr(0, x), "--window width"));
      WindowHeight = int(cArgumentReader::RequireInt(text.substr(x + 1), "--window height"));
      if (WindowWidth < 1 || WindowHeight < 1 || WindowWidth > MaxMeasureWindow || WindowHeight > MaxMeasureWindow)
        throw cCliError::Usage("--window sizes must lie in 1.." + std::to_string(MaxMeasureWindow) + ", got '" + text +
                               "'");
      return true;
    }
    if (argument == "--k1" || argument == "--k2") {
      const double value = cArgumentReader::RequireDouble(args.ValueOf(argument), argument);
      if (value < 0 || value > 1) throw cCliError::Usage(argument + " must lie in 0..1");
      (argument == "--k1" ? K1 : K2) = value;
      return true;
    }
    return false;
  }
  // The facade has no calls for the measures' settings: they are the kernel's global ones.
  void Apply() const
  {
    if (WindowWidth > 0) {
      GlobalParams->QualityWindowWidth = WindowWidth;
      GlobalParams->QualityWindowHeight = WindowHeight;
    }
    if (K1 >= 0) GlobalParams->K1 = K1;
    if (K2 >= 0) GlobalParams->K2 = K2;
  }
};
}  // namespace

int cKvadraCli::CommandMeasure(cArgumentReader& args)
{
  std::string image, origin;
  sMeasureOptions settings;
  while (!args.AtEnd()) {
    const std::string argument = args.Next();
    if (argument == "--origin")
      origin = args.ValueOf(argument);
    else if (!settings.Take(args, argument))
      cArgumentReader::TakeOperand("measure", argument, image);
  }
  if (image.empty()) throw cCliError::Usage("measure: missing IMAGE");
  if (origin.empty()) throw cCliError::Usage("measure: missing --origin ORIGIN");
  settings.Apply();
  StartSystem();
  // The picture must match the origin's geometry; check before it enters the history.
  cImage probe;
  if (!std::filesystem::is_regular_file(image) || !probe.LoadImage(image))
    throw cCliError::Failure(cCliError::LoadFailureText(image, probe));
  LoadOrigin(origin);
  cImage* first = System->GetImage(0);
  if (probe.GetWidth() != first->GetWidth() || probe.GetHeight() != first->GetHeight() ||
      probe.GetChannelsCount() != first->GetChannelsCount())
    throw cCliError::Failure("picture '" + image + "' (" + Geometry(probe) + ") does not match the origin (" +
                             Geometry(*first) + ")");
  LoadOrigin(image);
  CompleteMeasures();
  cImage* measured = System->GetImage(System->SavedImageCount() - 1);
  const std::pair<const char*, double> measures[] = {{"MSE", measured->GetMSE()},
                                                     {"PSNR", measured->GetPSNR()},
                                                     {"IQ", measured->GetIndexValue(qiIQ)},
                                                     {"IQHVS", measured->GetIndexValue(qiIQHVS)},
                                                     {"SSIM", measured->GetIndexValue(qiSSIM)},
                                                     {"Noise sigma", measured->GetNoiseSigma()}};
  for (const auto& [name, value] : measures) Out << name << "\t" << cResultTable::FormatNumber(value) << "\n";
  return ecSuccess;
}

// ---------------------------------------------------------------- estimate

int cKvadraCli::CommandEstimate(cArgumentReader& args)
{
  std::string input;
  while (!args.AtEnd()) cArgumentReader::TakeOperand("estimate", args.Next(), input);
  if (input.empty()) throw cCliError::Usage("estimate: missing PICTURE");
  StartSystem();  // the picture-size limit and the message handlers
  cImage picture;
  if (!std::filesystem::is_regular_file(input) || !picture.LoadImage(input))
    throw cCliError::Failure(cCliError::LoadFailureText(input, picture));
  const std::vector<double> sigmas = kvNoiseSigmas(*picture.GetSurface());
  Out << "Noise sigma\t" << cResultTable::FormatNumber(picture.GetNoiseSigma()) << "\n";
  // Surfaces keep colour as blue, green, red; people read it the other way round.
  if (sigmas.size() == 3)
    for (int c : {2, 1, 0})
      Out << (c == 2   ? "Red"
              : c == 1 ? "Green"
                       : "Blue")
          << "\t" << cResultTable::FormatNumber(sigmas[size_t(c)]) << "\n";
  else
    for (double sigma : sigmas) Out << "Grey\t" << cResultTable::FormatNumber(sigma) << "\n";
  return ecSuccess;
}

// ---------------------------------------------------------------- analyze

int cKvadraCli::CommandAnalyze(cArgumentReader& args)
{
  const sAnalyzeOptions options = ReadAnalyzeOptions(args);
  StartSystem();
  const sAnalyzeExperiment experiment = PrepareExperiment(options);
  if (IsDatasetRun(options)) return AnalyzeDataset(options, experiment);
  return AnalyzePicture(options, experiment);
}

cKvadraCli::sAnalyzeOptions cKvadraCli::ReadAnalyzeOptions(cArgumentReader& args)
{
  sAnalyzeOptions options;
  while (!args.AtEnd()) ReadAnalyzeOption(args, args.Next(), options);
  CheckAnalyzeOptions(options);
  return options;
}

void cKvadraCli::ReadAnalyzeOption(cArgumentReader& args, const std::string& argument, sAnalyzeOptions& options)
{
  auto& passed = options.ExperimentArguments;
  if (argument == "--corrupt") {
    options.Corruption.Name = args.ValueOf(argument);
    passed.insert(passed.end(), {argument, options.Corruption.Name});
  } else if (argument == "--set") {
    options.Corruption.Settings.push_back(args.ValueOf(argument));
    passed.insert(passed.end(), {argument, options.Corruption.Settings.back()});
  } else if (argument == "--sweep")
    ReadSweep(args, options);
  else if (argument == "--param") {
    options.SweptName = args.ValueOf(argument);
    passed.insert(passed.end(), {argument, options.SweptName});
  } else if (argument == "--values") {
    const std::string text = args.ValueOf(argument);
    ReadValues(text, options);
    passed.insert(passed.end(), {argument, text});
  } else if (argument == "--table") {
    options.Table = args.ValueOf(argument);
    eTableFormat format;
    if (!cPaperTable::ParseFormat(options.Table, format))
      throw cCliError::Usage("--table must be markdown, latex or csv, got '" + options.Table + "'");
  } else if (argument == "--table-out")
    options.TableOut = args.ValueOf(argument);
  else if (argument == "--per-picture")
    options.PerPicture = true;
  else if (argument == "--restore") {
    const std::string text = args.ValueOf(argument);
    options.Restorations.push_back(cParameterAssigner::ParseOperation(text));
    passed.insert(passed.end(), {argument, text});
  } else if (argument == "--criterion") {
    const std::string criterion = cOperationCatalog::CheckedCriterion(args.ValueOf(argument));
    if (std::find(options.Criteria.begin(), options.Criteria.end(), criterion) != options.Criteria.end())
      throw cCliError::Usage("--criterion " + criterion + " is given twice");
    options.Criteria.push_back(criterion);
    passed.insert(passed.end(), {argument, criterion});
  } else if (argument == "--seed")
    options.Seed = cArgumentReader::RequireSeed(args.ValueOf(argument));
  else if (argument == "--csv")
    options.Csv = args.ValueOf(argument);
  else if (argument == "--json")
    options.Json = args.ValueOf(argument);
  else if (argument == "--jobs") {
    const std::string text = args.ValueOf(argument);
    options.Jobs = cArgumentReader::RequireInt(text, "--jobs");
    if (options.Jobs < 1 || options.Jobs > MaxJobs)
      throw cCliError::Usage("--jobs must lie in 1.." + std::to_string(MaxJobs) + ", got '" + text + "'");
  } else if (argument == "--shard")
    options.Shard = args.ValueOf(argument);
  else if (argument == "--dataset")
    options.ForceDataset = true;
  else if (argument == "--worker")
    options.Worker = args.ValueOf(argument);
  else
    cArgumentReader::TakeOperand("analyze", argument, options.Inputs);
}

// What the options miss or combine wrongly, found before any picture is read.
void cKvadraCli::CheckAnalyzeOptions(sAnalyzeOptions& options)
{
  auto& passed = options.ExperimentArguments;
  if (options.Inputs.empty()) throw cCliError::Usage("analyze: missing INPUT picture");
  if (options.Corruption.Name.empty()) throw cCliError::Usage("analyze: missing --corrupt NAME");
  if (options.HasSweep && !options.Values.empty())
    throw cCliError::Usage("analyze: give either --sweep PARAM MIN MAX STEPS or --param PARAM --values V1,V2,...");
  if (!options.Values.empty() && options.SweptName.empty())
    throw cCliError::Usage("analyze: --values needs --param PARAM, the parameter that takes them");
  if (!options.HasSweep && options.Values.empty())
    throw cCliError::Usage("analyze: missing --sweep PARAM MIN MAX STEPS (or --param PARAM --values V1,V2,...)");
  if (options.Table.empty() && (!options.TableOut.empty() || options.PerPicture))
    throw cCliError::Usage("analyze: --table-out and --per-picture need --table FORMAT");
  if (options.Criteria.empty()) {
    options.Criteria.push_back("PSNR");
    passed.insert(passed.end(), {"--criterion", "PSNR"});
  }
  const bool dataset = IsDatasetRun(options);
  if (dataset && !options.Worker.empty()) throw cCliError::Usage("analyze: --worker takes one picture");
  if (!options.Shard.empty() && !options.Seed)
    throw cCliError::Usage("analyze: --shard needs --seed N, so that every shard draws the noise of one experiment");
  if (!options.Shard.empty() && options.Json.empty())
    throw cCliError::Usage("analyze: --shard needs --json FILE for the partial that 'kvadra merge' reads");
}

void cKvadraCli::ReadSweep(cArgumentReader& args, sAnalyzeOptions& options)
{
  const std::string option = "--sweep";
  options.SweptName = args.ValueOf(option);
  const std::string minText = args.ValueOf(option), maxText = args.ValueOf(option), stepsText = args.ValueOf(option);
  options.SweepMin = cArgumentReader::RequireDouble(minText, "--sweep MIN");
  options.SweepMax = cArgumentReader::RequireDouble(maxText, "--sweep MAX");
  options.SweepSteps = cArgumentReader::RequireInt(stepsText, "--sweep STEPS");
  if (options.SweepSteps < 1 || options.SweepSteps > MaxSweepSteps)
    throw cCliError::Usage("--sweep STEPS must lie in 1.." + std::to_string(MaxSweepSteps));
  if (options.SweepMin > options.SweepMax) throw cCliError::Usage("--sweep MIN must not exceed MAX");
  options.HasSweep = true;
  options.ExperimentArguments.insert(options.ExperimentArguments.end(),
                                     {option, options.SweptName, minText, maxText, stepsText});
}

void cKvadraCli::ReadValues(const std::string& text, sAnalyzeOptions& options)
{
  if (!options.Values.empty()) throw cCliError::Usage("--values is given twice");
  std::stringstream stream(text);
  for (std::string part; std::getline(stream, part, ',');) {
    options.Values.push_back(cArgumentReader::RequireDouble(part, "--values"));
    if (options.Values.size() > size_t(MaxSweepSteps) + 1)
      throw cCliError::Usage("--values takes at most " + std::to_string(MaxSweepSteps + 1) + " values");
  }
  if (options.Values.empty() || text.back() == ',')
    throw cCliError::Usage("--values needs a list like 15,25,50, got '" + text + "'");
}

unsigned cKvadraCli::SweepCount(const sAnalyzeOptions& options)
{
  return options.Values.empty() ? unsigned(options.SweepSteps + 1) : unsigned(options.Values.size());
}

bool cKvadraCli::IsDatasetRun(const sAnalyzeOptions& options)
{
  // A malformed shard is a usage error before anything else is looked at.
  unsigned shardIndex = 0, shardCount = 1;
  if (!options.Shard.empty()) kvDataset::ParseShard(options.Shard, shardIndex, shardCount);
  // One picture file alone is analysed as it always was; several pictures, a folder, a shard
  // or --dataset make an experiment over pictures (mean, spread and count per point).
  return options.ForceDataset || !options.Shard.empty() || options.Inputs.size() > 1 ||
         std::filesystem::is_directory(options.Inputs[0]);
}

cKvadraCli::sAnalyzeExperiment cKvadraCli::PrepareExperiment(const sAnalyzeOptions& options)
{
  sAnalyzeExperiment experiment;
  const std::string& corrupt = options.Corruption.Name;
  experiment.CorruptionUID = OperationUID(corrupt);
  cOperationParams& corruption = *System->GetOperationParams(experiment.CorruptionUID);
  cParameterAssigner::Configure(corruption, options.Corruption);
  experiment.SweepIndex = cParameterAssigner::FindParameter(corruption, options.SweptName, corrupt);
  const cOperationParameter& swept = *corruption.GetParam(unsigned(experiment.SweepIndex));
  // A list may name whole values of an integer parameter; a range sweeps real ones only.
  const bool integerList = !options.Values.empty() && swept.GetType() == ptInteger;
  if (swept.GetType() != ptReal && !integerList)
    throw cCliError::Usage("parameter '" + swept.GetName() + "' is " + cParameterAssigner::KindName(swept) +
                           (options.Values.empty() ? "; only real parameters can be swept"
                                                   : "; only real and integer parameters take --values"));
  double minimum, maximum;
  if (integerList) {
    int low = 0, high = 0;
    swept.GetBounds(low, high);
    minimum = low;
    maximum = high;
  } else {
    uint8_t precision;
    swept.GetBounds(minimum, maximum, precision);
  }
  for (double v : options.Values) {
    if (integerList && v != std::floor(v))
      throw cCliError::Usage("--values: '" + swept.GetName() +
                             "' is an integer parameter and takes whole values, got " + cResultTable::FormatNumber(v));
    if (v < minimum || v > maximum)
      throw cCliError::Usage("--values: " + cResultTable::FormatNumber(v) + " leaves the bounds of '" +
                             swept.GetName() + "': " + cParameterAssigner::Range(swept));
  }
  if (options.Values.empty() && (options.SweepMin < minimum || options.SweepMax > maximum))
    throw cCliError::Usage("--sweep range " + cResultTable::FormatNumber(options.SweepMin) + ".." +
                           cResultTable::FormatNumber(options.SweepMax) + " leaves the bounds of '" + swept.GetName() +
                           "': " + cParameterAssigner::Range(swept));
  for (const sOperationSettings& restoration : options.Restorations)
    experiment.RestorationUIDs.push_back(CheckedOperation(restoration));
  return experiment;
}

// ---------------------------------------------------------------- analyze: one picture

int cKvadraCli::AnalyzePicture(const sAnalyzeOptions& options, const sAnalyzeExperiment& experiment)
{
  if (!options.Worker.empty()) InstallTerminationHandler();
  // A table names the seed it was made with, so one is drawn when none is given.
  std::optional<uint64_t> seed = options.Seed;
  if (!seed && !options.Table.empty()) seed = DrawnSeed();
  if (seed) cRandomGenerator::SetSeed(*seed);
  LoadOrigin(options.Inputs[0]);
  SetUpAnalyzer(options, experiment);
  RunAnalyzer(options);
  return ReportPictureRun(options, seed);
}

void cKvadraCli::SetUpAnalyzer(const sAnalyzeOptions& options, const sAnalyzeExperiment& experiment)
{
  System->EnterAnalyzerMode();
  System->AnalyzerClear();
  sCorruptionSeriesInfo info;
  info.OperationUID = experiment.CorruptionUID;
  info.ParameterIndex = unsigned(experiment.SweepIndex);
  info.Minimum = options.SweepMin;
  info.Maximum = options.SweepMax;
  info.Steps = unsigned(options.SweepSteps);
  info.Values = options.Values;
  System->AnalyzerAddCorruptionSeries(info);
  for (size_t i = 0; i < options.Restorations.size(); ++i) {
    cParameterAssigner::Configure(*System->GetOperationParams(experiment.RestorationUIDs[i]), options.Restorations[i]);
    System->AnalyzerAddRestoration(experiment.RestorationUIDs[i]);
  }
  System->AnalyzerSetCriteria(options.Criteria);
}

void cKvadraCli::RunAnalyzer(const sAnalyzeOptions& options)
{
  const unsigned total = SweepCount(options) * unsigned(options.Restorations.size());
  cProgressReporter reporter("analyze", total);
  // A picture's run for an experiment over several pictures tells its parent of every point,
  // one line on stdout each, and draws no bar.
  cAnalyzerProgressObserver observer(*System, reporter, !options.Worker.empty());
  System->AddObserver(&observer);
  System->AnalyzerExecute();
  observer.Active = false;
  reporter.Finish();
  System->ExitAnalyzerMode();
}

int cKvadraCli::ReportPictureRun(const sAnalyzeOptions& options, std::optional<uint64_t> seed)
{
  // Series keep their points separately: after a stop, a sweep value may have a point in
  // some series only; a missing point stays empty.
  const cResultTable table = cAnalyzerResults::Build(*System);
  const std::string failure = System->AnalyzerGetFailure();
  const bool cancelled = CancelRequested.load() && failure.empty();
  if (!options.Worker.empty()) {
    WriteWorkerResult(options.Worker, cancelled);
    return !failure.empty() ? ecFailure : cancelled ? ecCancelled : ecSuccess;
  }
  std::string seriesNames = "\"series\":[";
  for (int s = 0; s < System->AnalyzerGetSeriesCount(); ++s) {
    if (s) seriesNames += ',';
    seriesNames += cResultTable::JsonString(System->AnalyzerGetSeriesName(s));
  }
  seriesNames += "]";
  std::string criteria;
  for (const std::string& c : options.Criteria) {
    if (!criteria.empty()) criteria += ',';
    criteria += cResultTable::JsonString(c);
  }
  const std::string extra = "\"criterion\":" + cResultTable::JsonString(options.Criteria.front()) +
                            (options.Criteria.size() > 1 ? ",\"criteria\":[" + criteria + "]" : std::string()) +
                            ",\"command\":" + cResultTable::JsonString(CommandLine) +
                            ",\"version\":" + cResultTable::JsonString(KV_VERSION) +
                            ",\"seed\":" + (seed ? std::to_string(*seed) : std::string("null")) +
                            ",\"corruption\":" + cResultTable::JsonString(options.Corruption.Name) +
                            ",\"swept\":" + cResultTable::JsonString(System->AnalyzerGetBottomTitle()) + "," +
                            seriesNames + ",\"cancelled\":" + (cancelled ? "true" : "false") +
                            ",\"failure\":" + (failure.empty() ? "null" : cResultTable::JsonString(failure));
  const bool tableToStdout = !options.Table.empty() && options.TableOut.empty();
  WriteResults(table, options.Csv, options.Json, table.JsonText(extra), !tableToStdout);
  if (!options.Table.empty()) {
    cPaperTable paper = cAnalyzerResults::PaperTable(*System);
    paper.SetOrigin(CommandLine, KV_VERSION, *seed);
    WriteTable(paper, options.Table, options.TableOut, tableToStdout);
  }
  // The operation's own message has been shown already.
  if (!failure.empty()) {
    std::cerr << "kvadra: analyze stopped by a failed operation; the points made so far were written\n";
    return ecFailure;
  }
  if (cancelled) {
    std::cerr << "kvadra: analyze cancelled; the points made so far were written\n";
    return ecCancelled;
  }
  return ecSuccess;
}

void cKvadraCli::WriteWorkerResult(const std::string& file, bool cancelled)
{
  const cImage& origin = *System->GetImage(System->GetOriginID());
  const std::string failure = System->AnalyzerGetFailure();
  cJsonValue series = cJsonValue::Array(), sweep = cJsonValue::Array(), values = cJsonValue::Array();
  for (int k = 0; k < System->AnalyzerGetSweepLength(); ++k)
    sweep.Add(cJsonValue::Number(System->AnalyzerGetSweepValueAt(k)));
  for (int s = 0; s < System->AnalyzerGetSeriesCount(); ++s) {
    series.Add(cJsonValue::String(System->AnalyzerGetSeriesName(s)));
  }
  // [criterion][series][sweep value]
  for (size_t c = 0; c < System->AnalyzerGetCriteria().size(); ++c) {
    cJsonValue perSeries = cJsonValue::Array();
    for (int s = 0; s < System->AnalyzerGetSeriesCount(); ++s) {
      cJsonValue points = cJsonValue::Array();
      for (int k = 0; k < System->AnalyzerGetSeriesLenght(s); ++k)
        points.Add(cJsonValue::Number(System->AnalyzerGetCriterionValueAt(unsigned(s), unsigned(k), unsigned(c))));
      perSeries.Add(points);
    }
    values.Add(perSeries);
  }
  cJsonValue result = cJsonValue::Object();
  result.Add("width", cJsonValue::Integer(origin.GetWidth()))
      .Add("height", cJsonValue::Integer(origin.GetHeight()))
      .Add("channels", cJsonValue::Integer(origin.GetChannelsCount()))
      .Add("series", series)
      .Add("sweep", sweep)
      .Add("values", values)
      .Add("complete", cJsonValue::Bool(!cancelled && failure.empty() && !System->AnalyzerWasCancelled()))
      .Add("failure", failure.empty() ? cJsonValue::Null() : cJsonValue::String(failure));
  cResultTable::WriteFileAtomically(file, result.Serialize() + "\n");
}

// ---------------------------------------------------------------- analyze: several pictures

cJsonValue cKvadraCli::DescribeExperiment(const sAnalyzeOptions& options, const sAnalyzeExperiment& experiment,
                                          uint64_t seed)
{
  // Operations and all their parameter values as they were set, the sweep with the values it
  // will take, the criterion and the base seed.
  cJsonValue restorations = cJsonValue::Array();
  for (size_t i = 0; i < options.Restorations.size(); ++i) {
    cOperationParams params(*System->GetOperationParams(experiment.RestorationUIDs[i]));
    cParameterAssigner::Configure(params, options.Restorations[i]);
    cJsonValue restoration = cJsonValue::Object();
    restoration.Add("operation", cJsonValue::String(params.GetName()))
        .Add("series", cJsonValue::String(params.GetName() + " " + params.GetShortInfo()))
        .Add("parameters", ParameterValues(params, -1));
    restorations.Add(restoration);
  }
  const cOperationParams& corruption = *System->GetOperationParams(experiment.CorruptionUID);
  cJsonValue sweep = cJsonValue::Object();
  if (options.Values.empty())
    sweep.Add("min", cJsonValue::Number(options.SweepMin))
        .Add("max", cJsonValue::Number(options.SweepMax))
        .Add("steps", cJsonValue::Integer(options.SweepSteps))
        .Add("values",
             SweepValues(corruption, experiment.SweepIndex, options.SweepMin, options.SweepMax, options.SweepSteps));
  else
    sweep.Add("values", ListedSweepValues(corruption, experiment.SweepIndex, options.Values));
  cJsonValue description = cJsonValue::Object();
  description.Add("corruption", cJsonValue::String(corruption.GetName()))
      .Add("parameters", ParameterValues(corruption, experiment.SweepIndex))
      .Add("swept", cJsonValue::String(corruption.GetParam(unsigned(experiment.SweepIndex))->GetName()))
      .Add("sweep", sweep)
      .Add("restorations", restorations)
      .Add("criterion", cJsonValue::String(options.Criteria.front()));
  // One criterion keeps the experiment as it was, so earlier partials still merge.
  if (options.Criteria.size() > 1) {
    cJsonValue criteria = cJsonValue::Array();
    for (const std::string& c : options.Criteria) criteria.Add(cJsonValue::String(c));
    description.Add("criteria", criteria);
  }
  description.Add("seed", cJsonValue::Unsigned(seed));
  return description;
}

int cKvadraCli::AnalyzeDataset(const sAnalyzeOptions& options, const sAnalyzeExperiment& experiment)
{
  const uint64_t baseSeed = options.Seed ? *options.Seed : DrawnSeed();
  const unsigned jobs = options.Jobs > 0 ? unsigned(options.Jobs) : kvDataset::CoreCount();
  // The pictures running at once share the threads, so that J jobs do not start J times
  // every core's worth of threads.
  std::vector<std::string> passed = options.ExperimentArguments;
  passed.insert(passed.end(), {"--max-pixels", std::to_string(GlobalParams->GetMaxPixels()), "--threads",
                               std::to_string(std::max(1u, kvGetThreadCount() / jobs))});

  cDatasetResults results(DescribeExperiment(options, experiment, baseSeed));
  results.SetShard(options.Shard);
  results.SetCommand(CommandLine, KV_VERSION);
  unsigned shardIndex = 0, shardCount = 1;
  if (!options.Shard.empty()) kvDataset::ParseShard(options.Shard, shardIndex, shardCount);
  const std::vector<sPictureFile> all = kvDataset::FindPictures(options.Inputs);
  std::vector<sPictureFile> pictures;
  for (size_t i = 0; i < all.size(); ++i)
    if (i % shardCount == shardIndex) pictures.push_back(all[i]);
  InstallTerminationHandler();

  const unsigned perPicture = unsigned(results.SweepValues().size() * results.SeriesNames().size());
  cProgressReporter reporter("analyze", unsigned(pictures.size()) * perPicture);
  const std::string count = std::string("/").append(std::to_string(pictures.size())).append(" pictures");
  cDatasetRunner runner(ExecutablePath(), passed, jobs);
  runner.Run(
      pictures, baseSeed, results, [] { return CancelRequested.load(); },
      [&](unsigned points, unsigned finished) { reporter.Step(points, std::to_string(finished) + count); });
  reporter.Finish();

  const bool tableToStdout = !options.Table.empty() && options.TableOut.empty();
  WriteResults(results.Table(), options.Csv, options.Json, results.JsonText(), !tableToStdout);
  if (!options.Table.empty())
    WriteTable(results.PaperTable(options.PerPicture), options.Table, options.TableOut, tableToStdout);
  const auto& unfinished = results.Unfinished();
  if (unfinished.empty()) return ecSuccess;
  std::cerr << "kvadra: " << results.Pictures().size() << " of " << pictures.size()
            << " pictures finished; these did not:\n";
  PrintUnfinished(unfinished);
  if (!options.Json.empty())
    std::cerr << "kvadra: '" << options.Json << "' keeps the finished pictures; run the others (same options and "
              << "seed) and combine the files with 'kvadra merge'\n";
  return CancelRequested.load() ? ecCancelled : ecFailure;
}

void cKvadraCli::InstallTerminationHandler()
{
  static auto handler = +[](int) {
    CancelRequested.store(true);
    std::signal(SIGTERM, SIG_DFL);
  };
  std::signal(SIGTERM, handler);
}

// ---------------------------------------------------------------- merge

int cKvadraCli::CommandMerge(cArgumentReader& args)
{
  std::vector<std::string> files;
  std::string csv, json, tableFormat, tableOut;
  bool perPicture = false;
  while (!args.AtEnd()) {
    const std::string argument = args.Next();
    if (argument == "--table") {
      tableFormat = args.ValueOf(argument);
      eTableFormat format;
      if (!cPaperTable::ParseFormat(tableFormat, format))
        throw cCliError::Usage("--table must be markdown, latex or csv, got '" + tableFormat + "'");
    } else if (argument == "--table-out")
      tableOut = args.ValueOf(argument);
    else if (argument == "--per-picture")
      perPicture = true;
    else if (argument == "--csv")
      csv = args.ValueOf(argument);
    else if (argument == "--json")
      json = args.ValueOf(argument);
    else
      cArgumentReader::TakeOperand("merge", argument, files);
  }
  if (files.empty()) throw cCliError::Usage("merge: missing PARTIAL.json");
  if (tableFormat.empty() && (!tableOut.empty() || perPicture))
    throw cCliError::Usage("merge: --table-out and --per-picture need --table FORMAT");
  std::vector<cDatasetResults> parts;
  std::map<unsigned, std::vector<unsigned>> shards;  // count -> indices seen
  for (const std::string& file : files) {
    std::string text;
    if (!cResultTable::ReadFile(file, text)) throw cCliError::Failure("cannot read '" + file + "'");
    parts.push_back(MergeFailure([&] { return cDatasetResults::FromJson(text, file); }));
    const cJsonValue document = cJsonValue::Parse(text);
    if (!document.At("shard").IsNull()) {
      unsigned index = 0, count = 0;
      kvDataset::ParseShard(document.At("shard").AsString(), index, count);
      shards[count].push_back(index);
    }
  }
  cDatasetResults merged = MergeFailure([&] { return cDatasetResults::Merge(parts, files); });
  merged.SetCommand(CommandLine, KV_VERSION);
  WarnOfMissingShards(shards);
  const bool tableToStdout = !tableFormat.empty() && tableOut.empty();
  WriteResults(merged.Table(), csv, json, merged.JsonText(), !tableToStdout);
  if (!tableFormat.empty()) WriteTable(merged.PaperTable(perPicture), tableFormat, tableOut, tableToStdout);
  if (!merged.Unfinished().empty()) {
    std::cerr << "kvadra: merge: warning: " << merged.Unfinished().size()
              << " pictures are in no partial as finished:\n";
    PrintUnfinished(merged.Unfinished());
  }
  return ecSuccess;
}

// ---------------------------------------------------------------- spectrum

int cKvadraCli::CommandSpectrum(cArgumentReader& args)
{
  std::string input, kind, out;
  double scale = DefaultSpectrumScale;
  while (!args.AtEnd()) {
    const std::string argument = args.Next();
    if (argument == "--kind")
      kind = args.ValueOf(argument);
    else if (argument == "--scale") {
      scale = cArgumentReader::RequireDouble(args.ValueOf(argument), "--scale");
      if (scale <= 0 || scale > MaxSpectrumScale) throw cCliError::Usage("--scale must lie in (0, 1e6]");
    } else if (argument == "--out")
      out = args.ValueOf(argument);
    else
      cArgumentReader::TakeOperand("spectrum", argument, input);
  }
  if (input.empty()) throw cCliError::Usage("spectrum: missing INPUT picture");
  if (kind != "magnitude" && kind != "phase") throw cCliError::Usage("spectrum: --kind must be magnitude or phase");
  if (out.empty()) throw cCliError::Usage("spectrum: missing --out FILE.bmp");
  const ePictureFormat format = OutputFormat(out);
  StartSystem();
  LoadOrigin(input);
  cBMPSurface* spectrum = System->GetSpectrumSurface(kind == "magnitude" ? stMagnitude : stPhase, scale, true);
  if (!spectrum) throw cCliError::Failure("picture '" + input + "' has no pixels");
  const std::string temporary = cResultTable::TemporaryNameBeside(out);
  if (!(format == pfPNG ? cPngFile::Save(*spectrum, temporary) : spectrum->SaveImage(temporary))) {
    std::remove(temporary.c_str());
    throw cCliError::Failure("cannot write '" + out + "'");
  }
  cResultTable::CommitTemporary(temporary, out);
  return ecSuccess;
}

// ---------------------------------------------------------------- compare

int cKvadraCli::CommandCompare(cArgumentReader& args)
{
  std::vector<std::string> pictures;
  std::string mode, out;
  sDifferenceOptions difference;
  sMeasureOptions settings;
  while (!args.AtEnd()) {
    const std::string argument = args.Next();
    if (argument == "--mode")
      mode = args.ValueOf(argument);
    else if (argument == "--out")
      out = args.ValueOf(argument);
    else if (argument == "--gain") {
      const long long gain = cArgumentReader::RequireInt(args.ValueOf(argument), "--gain");
      if (gain < 1 || gain > cPictureComparison::MaxGain)
        throw cCliError::Usage("--gain must lie in 1.." + std::to_string(cPictureComparison::MaxGain));
      difference.Gain = int(gain);
    } else if (argument == "--signed")
      difference.Signed = true;
    else if (argument == "--grey")
      difference.Grey = true;
    else if (!settings.Take(args, argument))
      cArgumentReader::TakeOperand("compare", argument, pictures);
  }
  if (pictures.size() != 2) throw cCliError::Usage("compare: needs two pictures, A and B");
  const std::vector<std::string> modes = {"difference", "ssim-map", "error-map", "side-by-side"};
  if (std::find(modes.begin(), modes.end(), mode) == modes.end())
    throw cCliError::Usage("compare: --mode must be difference, ssim-map, error-map or side-by-side" +
                           (mode.empty() ? std::string() : ", got '" + mode + "'"));
  if (out.empty()) throw cCliError::Usage("compare: missing --out FILE.png");
  const ePictureFormat format = OutputFormat(out);
  // The pictures are read with the kernel's limits and settings in force.
  settings.Apply();
  StartSystem();
  cImage a, b;
  for (auto [image, file] : {std::pair<cImage*, const std::string*>{&a, &pictures[0]}, {&b, &pictures[1]}})
    if (!std::filesystem::is_regular_file(*file) || !image->LoadImage(*file))
      throw cCliError::Failure(cCliError::LoadFailureText(*file, *image));
  if (!cPictureComparison::SameGeometry(*a.GetSurface(), *b.GetSurface()))
    throw cCliError::Failure("pictures of another geometry cannot be compared: '" + pictures[0] + "' is " +
                             cPictureComparison::GeometryText(*a.GetSurface()) + ", '" + pictures[1] + "' is " +
                             cPictureComparison::GeometryText(*b.GetSurface()));
  cBMPSurface picture;
  if (mode == "difference")
    cPictureComparison::Difference(*a.GetSurface(), *b.GetSurface(), difference, picture);
  else if (mode == "side-by-side")
    cPictureComparison::SideBySide(*a.GetSurface(), *b.GetSurface(), picture);
  else {
    sQualityMap map;
    if (mode == "ssim-map")
      cPictureComparison::SSIMMap(*a.GetSurface(), *b.GetSurface(), sQualitySettings::FromGlobals(), map);
    else
      cPictureComparison::SquaredErrorMap(*a.GetSurface(), *b.GetSurface(), map);
    cPictureComparison::RenderMapWithBar(map, picture);
    Out << (mode == "ssim-map" ? "SSIM" : "MSE") << "\t" << cResultTable::FormatNumber(map.Mean) << "\n";
  }
  const std::string temporary = cResultTable::TemporaryNameBeside(out);
  if (!(format == pfPNG ? cPngFile::Save(picture, temporary) : picture.SaveVisibleImage(temporary))) {
    std::remove(temporary.c_str());
    throw cCliError::Failure("cannot write '" + out + "'");
  }
  cResultTable::CommitTemporary(temporary, out);
  return ecSuccess;
}

// ---------------------------------------------------------------- demo

int cKvadraCli::CommandDemo(cArgumentReader& args)
{
  uint64_t seed = DemoSeed;
  std::string outDir = "kvadra-demo";
  while (!args.AtEnd()) {
    const std::string argument = args.Next();
    if (argument == "--seed")
      seed = cArgumentReader::RequireSeed(args.ValueOf(argument));
    else if (argument == "--out-dir")
      outDir = args.ValueOf(argument);
    else
      throw cArgumentReader::UnknownOption("demo", argument);
  }
  StartSystem();
  std::string sample = kvSamplesFolder(ExecutableFolder()) + "/camera.bmp";
  if (!std::filesystem::is_regular_file(sample))
    throw cCliError::Failure("sample picture '" + sample + "' is missing; rebuild to copy the samples");
  const std::vector<std::pair<std::string, std::string>> filters = {
      {"Median Filter", "median"}, {"ROAD filter", "road"}, {"Tamsel Filter", "tamsel"}};
  const unsigned noiseUID = OperationUID(DemoNoise);
  std::error_code error;
  std::filesystem::create_directories(outDir, error);
  if (error) throw cCliError::Failure("cannot create folder '" + outDir + "': " + error.message());

  cRandomGenerator::SetSeed(seed);
  LoadOrigin(sample);
  cParameterAssigner::Configure(*System->GetOperationParams(noiseUID), {DemoNoise, {DemoNoiseSetting}});
  RunSavedStep(noiseUID, nullptr);
  const int noisyID = System->GetCurrentImageID();
  std::vector<std::string> files = {"00-origin.bmp", "01-noisy.bmp"};
  for (auto& [name, label] : filters) {
    const unsigned uid = OperationUID(name);
    System->SetCurrentImageID(noisyID);
    System->GetOperationParams(uid)->ResetToDefault();
    RunSavedStep(uid, nullptr);
    const size_t number = files.size();
    files.push_back(std::string(number < 10 ? "0" : "").append(std::to_string(number)) + "-" + label + ".bmp");
  }
  const cResultTable table = HistoryTable();
  for (int id = 0; id < System->SavedImageCount() && size_t(id) < files.size(); ++id)
    SaveImageAtomically(*System->GetImage(id), (std::filesystem::path(outDir) / files[size_t(id)]).string());
  cResultTable::WriteFileAtomically((std::filesystem::path(outDir) / "history.csv").string(), table.CsvText());
  Out << "Salt-and-pepper noise (20 %) on " << std::filesystem::path(sample).filename().string()
      << ", restored by three filters (seed " << seed << "):\n\n";
  table.WriteTabSeparated(Out);
  Out << "\nPictures and history.csv written to " << std::filesystem::absolute(outDir).lexically_normal().string()
      << "/\n";
  return ecSuccess;
}
