#include "cKvadraCli.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>

#include "cAnalyzerResults.h"
#include "cCliError.h"
#include "cDatasetResults.h"
#include "cDatasetRunner.h"
#include "cHistoryResults.h"
#include "cImage.h"
#include "cKvadraSystem.h"
#include "cNameMatcher.h"
#include "cOperationPool.h"
#include "cParameterAssigner.h"
#include "cPngFile.h"
#include "cProgressReporter.h"
#include "cRandomGenerator.h"
#include "cUserDialogs.h"
#include "cWorkerPool.h"
#include "cuGlobalParameters.h"
#include "iObserver.h"
#include "kvDiagnostics.h"
#include "kvInstallPaths.h"

namespace {

std::atomic<bool> CancelRequested{false};

const char* const MainHelp =
    "Usage: kvadra COMMAND [OPTIONS]\n"
    "\n"
    "Corrupt, restore and measure pictures from scripts.\n"
    "\n"
    "Commands:\n"
    "  list       every operation with its parameters\n"
    "  run        run operations on a picture and print the history of measures\n"
    "  measure    measure a picture against an origin\n"
    "  analyze    sweep a corruption parameter and measure every restoration, on one picture\n"
    "             or on many (mean, spread and count), on all cores or split into shards\n"
    "  merge      combine the partial results of analyze's shards\n"
    "  spectrum   write the magnitude or phase spectrum picture\n"
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
     "noises reproducible. INPUT may be a BMP, JPEG (.jpg), PNG or TIFF (.tif, .tiff) picture.\n"},
    {"measure",
     "Usage: kvadra measure IMAGE --origin ORIGIN [--window WxH] [--k1 X] [--k2 X]\n"
     "Prints MSE, PSNR, IQ, IQHVS and SSIM of IMAGE against ORIGIN (same size and channels).\n"},
    {"analyze",
     "Usage: kvadra analyze INPUT... --corrupt NAME [--set PARAM=VALUE]... --sweep PARAM MIN MAX STEPS\n"
     "                      {--restore NAME[:PARAM=VALUE[;PARAM=VALUE]...]}...\n"
     "                      [--criterion MSE|PSNR|IQ|IQHVS|SSIM|Time] [--seed N] [--csv FILE] [--json FILE]\n"
     "                      [--jobs J] [--shard K/N] [--dataset]\n"
     "Corrupts INPUT once per sweep value (MIN to MAX in STEPS steps), restores every corrupted\n"
     "picture with each --restore and prints one line per sweep value with the criterion of every\n"
     "restoration. Ctrl-C stops after the current operation and keeps the points made.\n"
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
     "Combines the --json files of analyze's shards (or of interrupted runs finished later) into the\n"
     "table, CSV and JSON that one run over all the pictures gives. Refuses files of different\n"
     "experiments (operations, parameters, sweep, criterion, seed) and a picture in two files.\n"},
    {"spectrum",
     "Usage: kvadra spectrum INPUT --kind magnitude|phase [--scale S] --out FILE.bmp|FILE.png\n"
     "Writes the spectrum picture of INPUT (scale defaults to 20) as BMP or PNG, by its extension.\n"},
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

std::string Lower(std::string s)
{
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

// Counts analyzer points and stops the experiment when the user asked to.
class cAnalyzerProgressObserver : public iObserver {
public:
  cAnalyzerProgressObserver(cKvadraSystem& system, cProgressReporter& reporter, bool toParent = false)
      : System(system), Reporter(reporter), ToParent(toParent)
  {
  }
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

int ParseRegionPart(const std::string& text)
{
  return int(cArgumentReader::RequireInt(text, "--region"));
}

// The format an output picture is written in, by its extension; checked before any work.
ePictureFormat OutputFormat(const std::string& file)
{
  const ePictureFormat format = cImage::FormatOfName(file);
  if (format != pfBMP && format != pfPNG)
    throw cCliError::Usage("--out must name a .bmp or .png file, got '" + file + "'");
  return format;
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

std::string cKvadraCli::ExecutableFolder() const
{
  std::error_code error;
  auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) self = std::filesystem::absolute(ProgramPath);
  return self.parent_path().string();
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

std::vector<std::string> cKvadraCli::OperationNames() const
{
  std::vector<std::string> names;
  for (unsigned uid = 1; uid <= OperationPool->GetOperationsCount(); ++uid) {
    std::string group, name, type;
    System->GetOperationGroupAndName(uid, group, name, type);
    names.push_back(name);
  }
  return names;
}

unsigned cKvadraCli::OperationUID(const std::string& name) const
{
  const auto names = OperationNames();
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return unsigned(i + 1);
  for (size_t i = 0; i < names.size(); ++i)
    if (Lower(names[i]) == Lower(name)) return unsigned(i + 1);
  throw cCliError::Usage("unknown operation '" + name + "'" + cNameMatcher::Suggestion(name, names) +
                         "; 'kvadra list' shows them all");
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
  cArgumentReader args(arguments);
  if (args.AtEnd()) {
    std::cerr << MainHelp;
    return cCliError::ekUsage;
  }
  const std::string command = args.Next();
  if (command == "--help" || command == "-h" || command == "help") {
    Out << MainHelp;
    return 0;
  }
  if (command == "--version") {
    Out << "kvadra " << KV_VERSION << "\n";
    return 0;
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
    return 0;
  }
  if (command == "list") return CommandList(args);
  if (command == "run") return CommandRun(args);
  if (command == "measure") return CommandMeasure(args);
  if (command == "analyze") return CommandAnalyze(args);
  if (command == "spectrum") return CommandSpectrum(args);
  if (command == "merge") return CommandMerge(args);
  return CommandDemo(args);
}

// ---------------------------------------------------------------- list

int cKvadraCli::CommandList(cArgumentReader& args)
{
  bool json = false;
  while (!args.AtEnd()) {
    const std::string option = args.Next();
    if (option == "--json")
      json = true;
    else
      throw cCliError::Usage("list: unknown option '" + option + "'");
  }
  StartSystem();
  std::ostringstream text;
  if (json) text << "[";
  for (unsigned uid = 1; uid <= OperationPool->GetOperationsCount(); ++uid) {
    std::string group, name, type;
    System->GetOperationGroupAndName(uid, group, name, type);
    cOperationParams* params = System->GetOperationParams(uid);
    if (json) {
      text << (uid > 1 ? ",\n" : "\n") << "{\"uid\":" << uid << ",\"type\":" << cResultTable::JsonString(type)
           << ",\"group\":" << cResultTable::JsonString(group) << ",\"name\":" << cResultTable::JsonString(name)
           << ",\"parameters\":[";
    } else {
      text << uid << "\t" << type << "\t" << group << "\t" << name << "\n";
    }
    for (int i = 0; i < params->GetParamsCount(); ++i) {
      const cOperationParameter& p = *params->GetParam(unsigned(i));
      std::string lo, hi, choices;
      switch (p.GetType()) {
        case ptInteger:
        case ptReal: {
          double dlo, dhi;
          uint8_t precision;
          p.GetBounds(dlo, dhi, precision);
          lo = cParameterAssigner::FormatReal(dlo, precision);
          hi = cParameterAssigner::FormatReal(dhi, precision);
          break;
        }
        case ptBoolean:
          lo = "false";
          hi = "true";
          break;
        case ptEnumerated:
          lo = "0";
          hi = std::to_string(p.GetEnumStringCount() - 1);
          choices = cParameterAssigner::Range(p);
          break;
      }
      const std::string kind = cParameterAssigner::KindName(p);
      const std::string def = cParameterAssigner::ValueText(p, true);
      if (json) {
        text << (i ? "," : "") << "{\"index\":" << i << ",\"name\":" << cResultTable::JsonString(p.GetName())
             << ",\"kind\":\"" << kind << "\",\"min\":" << cResultTable::JsonString(lo)
             << ",\"max\":" << cResultTable::JsonString(hi) << ",\"default\":" << cResultTable::JsonString(def);
        if (p.GetType() == ptReal) text << ",\"precision\":" << int(p.GetPrecision());
        if (p.GetType() == ptEnumerated) {
          text << ",\"choices\":[";
          for (int k = 0; k < p.GetEnumStringCount(); ++k)
            text << (k ? "," : "") << cResultTable::JsonString(p.GetEnumString(unsigned(k)));
          text << "]";
        }
        text << "}";
      } else {
        text << "\t" << i << "\t" << p.GetName() << "\t" << kind << "\t" << lo << "\t" << hi << "\t" << def;
        if (!choices.empty()) text << "\t" << choices;
        text << "\n";
      }
    }
    if (json) text << "]}";
  }
  if (json) text << "\n]\n";
  Out << text.str();
  return 0;
}

// ---------------------------------------------------------------- shared steps

void cKvadraCli::LoadOrigin(const std::string& file)
{
  if (!std::filesystem::is_regular_file(file)) throw cCliError::Failure("cannot read picture '" + file + "'");
  const int before = System->SavedImageCount();
  System->LoadImage(file);
  Loop->RunUntilIdle();
  if (System->SavedImageCount() == before) throw cCliError::Failure(LoadFailureText(file, *System->GetResultImage()));
}

std::string cKvadraCli::LoadFailureText(const std::string& file, const cImage& image)
{
  const std::string& reason = image.GetLoadError();
  return "cannot load picture '" + file + "': " + (reason.empty() ? "not a readable BMP, JPEG, PNG or TIFF file" : reason);
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
                             std::to_string(region[2]) + "," + std::to_string(region[3]) +
                             " does not lie inside the " + std::to_string(current->GetWidth()) + " x " +
                             std::to_string(current->GetHeight()) + " picture");
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
  const int count = System->SavedImageCount();
  for (int id = 0; id < count; ++id) {
    cImage* image = System->GetImage(id);
    for (const char* name : {"IQ", "IQHVS", "SSIM"}) image->GetMeasureStr(name);
  }
  Loop->RunUntil([this, count] {
    for (int id = 0; id < count; ++id) {
      cImage* image = System->GetImage(id);
      for (auto kind : {qiIQ, qiIQHVS, qiSSIM})
        if (image->IsIndexRunning(kind)) return false;
    }
    return true;
  });
  Loop->ProcessPending();
  // Anything still not valid (a stopped computation) is computed here.
  for (int id = 0; id < count; ++id) {
    cImage* image = System->GetImage(id);
    for (auto kind : {qiIQ, qiIQHVS, qiSSIM})
      if (!image->IsIndexValid(kind)) image->CalculateIndexNow(kind);
  }
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

// ---------------------------------------------------------------- run

int cKvadraCli::CommandRun(cArgumentReader& args)
{
  struct sStep {
    std::string Name;
    std::vector<std::string> Settings;
  };
  std::string input, out, history;
  std::vector<sStep> steps;
  bool hasRegion = false, hasSeed = false;
  int region[4] = {};
  uint64_t seed = 0;
  while (!args.AtEnd()) {
    const std::string a = args.Next();
    if (a == "--op")
      steps.push_back({args.ValueOf(a), {}});
    else if (a == "--set") {
      const std::string setting = args.ValueOf(a);
      if (steps.empty()) throw cCliError::Usage("--set '" + setting + "' must follow an --op");
      steps.back().Settings.push_back(setting);
    } else if (a == "--region") {
      const std::string text = args.ValueOf(a);
      std::vector<std::string> parts;
      std::stringstream ss(text);
      for (std::string part; std::getline(ss, part, ',');) parts.push_back(part);
      if (parts.size() != 4) throw cCliError::Usage("--region needs L,T,R,B, got '" + text + "'");
      for (int i = 0; i < 4; ++i) region[i] = ParseRegionPart(parts[size_t(i)]);
      hasRegion = true;
    } else if (a == "--out")
      out = args.ValueOf(a);
    else if (a == "--history")
      history = args.ValueOf(a);
    else if (a == "--seed") {
      seed = cArgumentReader::RequireSeed(args.ValueOf(a));
      hasSeed = true;
    } else if (!a.empty() && a[0] == '-')
      throw cCliError::Usage("run: unknown option '" + a + "'");
    else if (input.empty())
      input = a;
    else
      throw cCliError::Usage("run: unexpected argument '" + a + "'");
  }
  if (input.empty()) throw cCliError::Usage("run: missing INPUT picture");
  if (!out.empty()) OutputFormat(out);
  StartSystem();
  // Check every name and value before any work is done.
  std::vector<unsigned> uids;
  for (auto& step : steps) {
    const unsigned uid = OperationUID(step.Name);
    uids.push_back(uid);
    cOperationParams probe(*System->GetOperationParams(uid));
    for (auto& s : step.Settings) cParameterAssigner::Assign(probe, s, step.Name);
  }
  if (hasSeed) cRandomGenerator::SetSeed(seed);
  LoadOrigin(input);
  for (size_t i = 0; i < steps.size(); ++i) {
    cOperationParams* params = System->GetOperationParams(uids[i]);
    params->ResetToDefault();
    for (auto& s : steps[i].Settings) cParameterAssigner::Assign(*params, s, steps[i].Name);
    RunSavedStep(uids[i], hasRegion ? region : nullptr);
  }
  const cResultTable table = HistoryTable();
  if (!out.empty()) SaveCurrent(out);
  if (!history.empty()) cResultTable::WriteFileAtomically(history, table.CsvText());
  table.WriteTabSeparated(Out);
  return 0;
}

// ---------------------------------------------------------------- measure

int cKvadraCli::CommandMeasure(cArgumentReader& args)
{
  std::string image, origin;
  int windowWidth = 0, windowHeight = 0;
  double k1 = -1, k2 = -1;
  while (!args.AtEnd()) {
    const std::string a = args.Next();
    if (a == "--origin")
      origin = args.ValueOf(a);
    else if (a == "--window") {
      const std::string text = args.ValueOf(a);
      const size_t x = text.find_first_of("xX");
      if (x == std::string::npos) throw cCliError::Usage("--window needs WxH, got '" + text + "'");
      windowWidth = int(cArgumentReader::RequireInt(text.substr(0, x), "--window width"));
      windowHeight = int(cArgumentReader::RequireInt(text.substr(x + 1), "--window height"));
      if (windowWidth < 1 || windowHeight < 1 || windowWidth > 99 || windowHeight > 99)
        throw cCliError::Usage("--window sizes must lie in 1..99, got '" + text + "'");
    } else if (a == "--k1" || a == "--k2") {
      const double v = cArgumentReader::RequireDouble(args.ValueOf(a), a);
      if (v < 0 || v > 1) throw cCliError::Usage(a + " must lie in 0..1");
      (a == "--k1" ? k1 : k2) = v;
    } else if (!a.empty() && a[0] == '-')
      throw cCliError::Usage("measure: unknown option '" + a + "'");
    else if (image.empty())
      image = a;
    else
      throw cCliError::Usage("measure: unexpected argument '" + a + "'");
  }
  if (image.empty()) throw cCliError::Usage("measure: missing IMAGE");
  if (origin.empty()) throw cCliError::Usage("measure: missing --origin ORIGIN");
  if (windowWidth > 0) {
    GlobalParams->QualityWindowWidth = windowWidth;
    GlobalParams->QualityWindowHeight = windowHeight;
  }
  if (k1 >= 0) GlobalParams->K1 = k1;
  if (k2 >= 0) GlobalParams->K2 = k2;
  StartSystem();
  // The picture must match the origin's geometry; check before it enters the history.
  cImage probe;
  if (!std::filesystem::is_regular_file(image) || !probe.LoadImage(image))
    throw cCliError::Failure(LoadFailureText(image, probe));
  LoadOrigin(origin);
  cImage* first = System->GetImage(0);
  if (probe.GetWidth() != first->GetWidth() || probe.GetHeight() != first->GetHeight() ||
      probe.GetChannelsCount() != first->GetChannelsCount())
    throw cCliError::Failure("picture '" + image + "' (" + Geometry(probe) + ") does not match the origin (" +
                             Geometry(*first) + ")");
  LoadOrigin(image);
  CompleteMeasures();
  cImage* measured = System->GetImage(System->SavedImageCount() - 1);
  Out << "MSE\t" << cResultTable::FormatNumber(measured->GetMSE()) << "\n";
  Out << "PSNR\t" << cResultTable::FormatNumber(measured->GetPSNR()) << "\n";
  Out << "IQ\t" << cResultTable::FormatNumber(measured->GetIndexValue(qiIQ)) << "\n";
  Out << "IQHVS\t" << cResultTable::FormatNumber(measured->GetIndexValue(qiIQHVS)) << "\n";
  Out << "SSIM\t" << cResultTable::FormatNumber(measured->GetIndexValue(qiSSIM)) << "\n";
  return 0;
}

// ---------------------------------------------------------------- analyze

int cKvadraCli::CommandAnalyze(cArgumentReader& args)
{
  struct sRestore {
    std::string Name;
    std::vector<std::string> Settings;
  };
  std::string corrupt, sweepName, criterion = "PSNR", csv, json, worker, shard;
  std::vector<std::string> inputs, corruptSettings;
  std::vector<sRestore> restores;
  double sweepMin = 0, sweepMax = 0;
  long long sweepSteps = 0, jobs = 0;
  bool hasSweep = false, hasSeed = false, forceDataset = false;
  uint64_t seed = 0;
  // What every picture's run of an experiment over several pictures is given, as typed.
  std::vector<std::string> experimentArguments;
  while (!args.AtEnd()) {
    const std::string a = args.Next();
    if (a == "--corrupt") {
      corrupt = args.ValueOf(a);
      experimentArguments.insert(experimentArguments.end(), {a, corrupt});
    } else if (a == "--set") {
      corruptSettings.push_back(args.ValueOf(a));
      experimentArguments.insert(experimentArguments.end(), {a, corruptSettings.back()});
    } else if (a == "--sweep") {
      sweepName = args.ValueOf(a);
      const std::string minText = args.ValueOf(a), maxText = args.ValueOf(a), stepsText = args.ValueOf(a);
      sweepMin = cArgumentReader::RequireDouble(minText, "--sweep MIN");
      sweepMax = cArgumentReader::RequireDouble(maxText, "--sweep MAX");
      sweepSteps = cArgumentReader::RequireInt(stepsText, "--sweep STEPS");
      if (sweepSteps < 1 || sweepSteps > 100000) throw cCliError::Usage("--sweep STEPS must lie in 1..100000");
      if (sweepMin > sweepMax) throw cCliError::Usage("--sweep MIN must not exceed MAX");
      hasSweep = true;
      experimentArguments.insert(experimentArguments.end(), {a, sweepName, minText, maxText, stepsText});
    } else if (a == "--restore") {
      const std::string text = args.ValueOf(a);
      const size_t colon = text.find(':');
      sRestore r{text.substr(0, colon), {}};
      if (colon != std::string::npos) {
        std::stringstream ss(text.substr(colon + 1));
        for (std::string part; std::getline(ss, part, ';');)
          if (!part.empty()) r.Settings.push_back(part);
      }
      restores.push_back(r);
      experimentArguments.insert(experimentArguments.end(), {a, text});
    } else if (a == "--criterion") {
      criterion = args.ValueOf(a);
      static const std::vector<std::string> known = {"MSE", "PSNR", "IQ", "IQHVS", "SSIM", "Time"};
      if (std::find(known.begin(), known.end(), criterion) == known.end())
        throw cCliError::Usage("unknown criterion '" + criterion + "'" + cNameMatcher::Suggestion(criterion, known) +
                               "; one of MSE, PSNR, IQ, IQHVS, SSIM, Time");
      experimentArguments.insert(experimentArguments.end(), {a, criterion});
    } else if (a == "--seed") {
      seed = cArgumentReader::RequireSeed(args.ValueOf(a));
      hasSeed = true;
    } else if (a == "--csv")
      csv = args.ValueOf(a);
    else if (a == "--json")
      json = args.ValueOf(a);
    else if (a == "--jobs") {
      const std::string text = args.ValueOf(a);
      jobs = cArgumentReader::RequireInt(text, "--jobs");
      if (jobs < 1 || jobs > 4096) throw cCliError::Usage("--jobs must lie in 1..4096, got '" + text + "'");
    } else if (a == "--shard") {
      shard = args.ValueOf(a);
    } else if (a == "--dataset")
      forceDataset = true;
    else if (a == "--worker")  // internal: one picture's run for an experiment over several
      worker = args.ValueOf(a);
    else if (!a.empty() && a[0] == '-')
      throw cCliError::Usage("analyze: unknown option '" + a + "'");
    else
      inputs.push_back(a);
  }
  if (inputs.empty()) throw cCliError::Usage("analyze: missing INPUT picture");
  if (corrupt.empty()) throw cCliError::Usage("analyze: missing --corrupt NAME");
  if (!hasSweep) throw cCliError::Usage("analyze: missing --sweep PARAM MIN MAX STEPS");
  unsigned shardIndex = 0, shardCount = 1;
  if (!shard.empty()) kvDataset::ParseShard(shard, shardIndex, shardCount);
  // One picture file alone is analysed as it always was; several pictures, a folder, a shard
  // or --dataset make an experiment over pictures (mean, spread and count per point).
  const bool dataset = forceDataset || !shard.empty() || inputs.size() > 1 ||
                       std::filesystem::is_directory(inputs[0]);
  if (dataset && !worker.empty()) throw cCliError::Usage("analyze: --worker takes one picture");
  if (!shard.empty() && !hasSeed)
    throw cCliError::Usage("analyze: --shard needs --seed N, so that every shard draws the noise of one experiment");
  if (!shard.empty() && json.empty())
    throw cCliError::Usage("analyze: --shard needs --json FILE for the partial that 'kvadra merge' reads");
  StartSystem();

  const unsigned corruptUID = OperationUID(corrupt);
  cOperationParams* corruptParams = System->GetOperationParams(corruptUID);
  corruptParams->ResetToDefault();
  for (auto& s : corruptSettings) cParameterAssigner::Assign(*corruptParams, s, corrupt);
  const int sweepIndex = cParameterAssigner::FindParameter(*corruptParams, sweepName, corrupt);
  cOperationParameter& swept = *corruptParams->GetParam(unsigned(sweepIndex));
  if (swept.GetType() != ptReal)
    throw cCliError::Usage("parameter '" + swept.GetName() + "' is " + cParameterAssigner::KindName(swept) +
                           "; only real parameters can be swept");
  {
    double lo, hi;
    uint8_t precision;
    swept.GetBounds(lo, hi, precision);
    if (sweepMin < lo || sweepMax > hi)
      throw cCliError::Usage("--sweep range " + cResultTable::FormatNumber(sweepMin) + ".." +
                             cResultTable::FormatNumber(sweepMax) + " leaves the bounds of '" + swept.GetName() +
                             "': " + cParameterAssigner::Range(swept));
  }
  std::vector<unsigned> restoreUIDs;
  for (auto& r : restores) {
    const unsigned uid = OperationUID(r.Name);
    cOperationParams probe(*System->GetOperationParams(uid));
    for (auto& s : r.Settings) cParameterAssigner::Assign(probe, s, r.Name);
    restoreUIDs.push_back(uid);
  }

  if (dataset) {
    // The experiment as every partial names it: operations and all their parameter values as
    // they were set, the sweep with the values it will take, the criterion and the base seed.
    auto parameterValues = [](const cOperationParams& params, int skip) {
      cJsonValue values = cJsonValue::Object();
      for (int i = 0; i < params.GetParamsCount(); ++i)
        if (i != skip)
          values.Add(params.GetParam(unsigned(i))->GetName(),
                     cJsonValue::String(cParameterAssigner::ValueText(*params.GetParam(unsigned(i)))));
      return values;
    };
    cJsonValue restorations = cJsonValue::Array();
    for (size_t i = 0; i < restores.size(); ++i) {
      cOperationParams params(*System->GetOperationParams(restoreUIDs[i]));
      params.ResetToDefault();
      for (auto& s : restores[i].Settings) cParameterAssigner::Assign(params, s, restores[i].Name);
      cJsonValue r = cJsonValue::Object();
      r.Add("operation", cJsonValue::String(params.GetName()))
          .Add("series", cJsonValue::String(params.GetName() + " " + params.GetShortInfo()))
          .Add("parameters", parameterValues(params, -1));
      restorations.Add(r);
    }
    // The values the analyzer sweeps, found as it finds them (cAnalyzer::ExecuteSweep): by
    // repeated addition, each as the real parameter stores it. Every picture's run is checked
    // against them.
    cJsonValue values = cJsonValue::Array();
    {
      cOperationParams probe(*corruptParams);
      cOperationParameter& p = *probe.GetParam(unsigned(sweepIndex));
      const double step = (sweepMax - sweepMin) / double(sweepSteps);
      for (double v = sweepMin; v <= sweepMax; v += step) {
        p.SetValue(v);
        values.Add(cJsonValue::Number(p.GetReal()));
        if (v + step == v) break;
      }
    }
    if (!hasSeed) {
      // Drawn once and recorded, so that the run can be repeated.
      std::random_device device;
      seed = (uint64_t(device()) << 32) ^ device();
    }
    cJsonValue sweep = cJsonValue::Object();
    sweep.Add("min", cJsonValue::Number(sweepMin))
        .Add("max", cJsonValue::Number(sweepMax))
        .Add("steps", cJsonValue::Integer(sweepSteps))
        .Add("values", values);
    cJsonValue experiment = cJsonValue::Object();
    experiment.Add("corruption", cJsonValue::String(corruptParams->GetName()))
        .Add("parameters", parameterValues(*corruptParams, sweepIndex))
        .Add("swept", cJsonValue::String(swept.GetName()))
        .Add("sweep", sweep)
        .Add("restorations", restorations)
        .Add("criterion", cJsonValue::String(criterion))
        .Add("seed", cJsonValue::Unsigned(seed));
    const unsigned jobCount = jobs > 0 ? unsigned(jobs) : kvDataset::CoreCount();
    // The pictures running at once share the threads, so that J jobs do not start J times
    // every core's worth of threads.
    experimentArguments.insert(experimentArguments.end(),
                               {"--max-pixels", std::to_string(GlobalParams->GetMaxPixels()), "--threads",
                                std::to_string(std::max(1u, kvGetThreadCount() / jobCount))});
    return AnalyzeDataset(inputs, std::move(experiment), experimentArguments, shard, shardIndex, shardCount, jobCount,
                          csv, json);
  }
  const std::string input = inputs[0];
  if (!worker.empty()) InstallTerminationHandler();

  if (hasSeed) cRandomGenerator::SetSeed(seed);
  LoadOrigin(input);
  System->EnterAnalyzerMode();
  System->AnalyzerClear();
  sCorruptionSeriesInfo info;
  info.OperationUID = corruptUID;
  info.ParameterIndex = unsigned(sweepIndex);
  info.Minimum = sweepMin;
  info.Maximum = sweepMax;
  info.Steps = unsigned(sweepSteps);
  System->AnalyzerAddCorruptionSeries(info);
  for (size_t i = 0; i < restores.size(); ++i) {
    cOperationParams* params = System->GetOperationParams(restoreUIDs[i]);
    params->ResetToDefault();
    for (auto& s : restores[i].Settings) cParameterAssigner::Assign(*params, s, restores[i].Name);
    System->AnalyzerAddRestoration(restoreUIDs[i]);
  }
  System->AnalyzerSetCriterion(criterion);

  const unsigned total = unsigned(sweepSteps + 1) * unsigned(restores.size());
  cProgressReporter reporter("analyze", total);
  // A picture's run for an experiment over several pictures tells its parent of every point,
  // one line on stdout each, and draws no bar.
  cAnalyzerProgressObserver observer(*System, reporter, !worker.empty());
  System->AddObserver(&observer);
  System->AnalyzerExecute();
  observer.Active = false;
  reporter.Finish();
  System->ExitAnalyzerMode();

  // Series keep their points separately: after a stop, a sweep value may have a point in
  // some series only; a missing point stays empty.
  const cResultTable table = cAnalyzerResults::Build(*System);
  const std::vector<std::string>& header = table.Header();
  const int series = System->AnalyzerGetSeriesCount();
  const std::string failure = System->AnalyzerGetFailure();
  const bool cancelled = CancelRequested.load() && failure.empty();
  if (!worker.empty()) {
    WriteWorkerResult(worker, cancelled);
    return !failure.empty() ? int(cCliError::ekFailure) : cancelled ? 130 : 0;
  }
  if (!csv.empty()) cResultTable::WriteFileAtomically(csv, table.CsvText());
  if (!json.empty()) {
    std::string seriesNames = "\"series\":[";
    for (int s = 0; s < series; ++s) {
      if (s) seriesNames += ',';
      seriesNames += cResultTable::JsonString(header[size_t(s + 1)]);
    }
    seriesNames += "]";
    const std::string extra = "\"criterion\":" + cResultTable::JsonString(criterion) +
                              ",\"corruption\":" + cResultTable::JsonString(corrupt) +
                              ",\"swept\":" + cResultTable::JsonString(header[0]) + "," + seriesNames +
                              ",\"cancelled\":" + (cancelled ? "true" : "false") +
                              ",\"failure\":" + (failure.empty() ? "null" : cResultTable::JsonString(failure));
    cResultTable::WriteFileAtomically(json, table.JsonText(extra));
  }
  table.WriteTabSeparated(Out);
  // The operation's own message has been shown already.
  if (!failure.empty()) {
    std::cerr << "kvadra: analyze stopped by a failed operation; the points made so far were written\n";
    return cCliError::ekFailure;
  }
  if (cancelled) {
    std::cerr << "kvadra: analyze cancelled; the points made so far were written\n";
    return 130;
  }
  return 0;
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
    cJsonValue points = cJsonValue::Array();
    for (int k = 0; k < System->AnalyzerGetSeriesLenght(s); ++k) {
      double x, y;
      System->AnalyzerGetResultAt(unsigned(s), unsigned(k), x, y);
      points.Add(cJsonValue::Number(y));
    }
    values.Add(points);
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

int cKvadraCli::AnalyzeDataset(const std::vector<std::string>& inputs, cJsonValue experiment,
                               const std::vector<std::string>& experimentArguments, const std::string& shard,
                               unsigned shardIndex, unsigned shardCount, unsigned jobs, const std::string& csv,
                               const std::string& json)
{
  const uint64_t baseSeed = experiment.At("seed").AsUnsigned();
  const std::vector<sPictureFile> all = kvDataset::FindPictures(inputs);
  std::vector<sPictureFile> pictures;
  for (size_t i = 0; i < all.size(); ++i)
    if (i % shardCount == shardIndex) pictures.push_back(all[i]);
  cDatasetResults results(std::move(experiment));
  results.SetShard(shard);
  InstallTerminationHandler();

  const unsigned perPicture = unsigned(results.SweepValues().size() * results.SeriesNames().size());
  const unsigned total = unsigned(pictures.size()) * perPicture;
  cProgressReporter reporter("analyze", total);
  const std::string count = "/" + std::to_string(pictures.size()) + " pictures";
  std::error_code error;
  auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) self = std::filesystem::absolute(ProgramPath);
  cDatasetRunner runner(self.string(), experimentArguments, jobs);
  runner.Run(
      pictures, baseSeed, results, [] { return CancelRequested.load(); },
      [&](unsigned points, unsigned finished) { reporter.Step(points, std::to_string(finished) + count); });
  reporter.Finish();

  const cResultTable table = results.Table();
  if (!csv.empty()) cResultTable::WriteFileAtomically(csv, table.CsvText());
  if (!json.empty()) cResultTable::WriteFileAtomically(json, results.JsonText());
  table.WriteTabSeparated(Out);
  const auto& unfinished = results.Unfinished();
  if (unfinished.empty()) return 0;
  std::cerr << "kvadra: " << results.Pictures().size() << " of " << pictures.size()
            << " pictures finished; these did not:\n";
  for (const auto& u : unfinished) std::cerr << "  " << u.File << ": " << u.Reason << "\n";
  if (!json.empty())
    std::cerr << "kvadra: '" << json << "' keeps the finished pictures; run the others (same options and seed) "
              << "and combine the files with 'kvadra merge'\n";
  return CancelRequested.load() ? 130 : int(cCliError::ekFailure);
}

// ---------------------------------------------------------------- merge

int cKvadraCli::CommandMerge(cArgumentReader& args)
{
  std::vector<std::string> files;
  std::string csv, json;
  while (!args.AtEnd()) {
    const std::string a = args.Next();
    if (a == "--csv")
      csv = args.ValueOf(a);
    else if (a == "--json")
      json = args.ValueOf(a);
    else if (!a.empty() && a[0] == '-')
      throw cCliError::Usage("merge: unknown option '" + a + "'");
    else
      files.push_back(a);
  }
  if (files.empty()) throw cCliError::Usage("merge: missing PARTIAL.json");
  std::vector<cDatasetResults> parts;
  std::map<unsigned, std::vector<unsigned>> shards;  // count -> indices seen
  for (const std::string& file : files) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw cCliError::Failure("cannot read '" + file + "'");
    std::stringstream text;
    text << in.rdbuf();
    try {
      parts.push_back(cDatasetResults::FromJson(text.str(), file));
    } catch (const std::runtime_error& e) {
      throw cCliError::Failure(std::string("merge: ") + e.what());
    }
    const cJsonValue document = cJsonValue::Parse(text.str());
    if (!document.At("shard").IsNull()) {
      unsigned k = 0, n = 0;
      kvDataset::ParseShard(document.At("shard").AsString(), k, n);
      shards[n].push_back(k);
    }
  }
  cDatasetResults merged = [&] {
    try {
      return cDatasetResults::Merge(parts, files);
    } catch (const std::runtime_error& e) {
      throw cCliError::Failure(std::string("merge: ") + e.what());
    }
  }();
  // Shards of one split that were not given: say so, the result lacks their pictures.
  for (auto& [count, seen] : shards) {
    std::string missing;
    for (unsigned k = 0; k < count; ++k)
      if (std::find(seen.begin(), seen.end(), k) == seen.end())
        missing += (missing.empty() ? "" : ", ") + std::to_string(k) + "/" + std::to_string(count);
    if (shards.size() > 1)
      std::cerr << "kvadra: merge: warning: the partials come from splits into different numbers of shards\n";
    if (!missing.empty()) std::cerr << "kvadra: merge: warning: shard " << missing << " not given\n";
  }
  const cResultTable table = merged.Table();
  if (!csv.empty()) cResultTable::WriteFileAtomically(csv, table.CsvText());
  if (!json.empty()) cResultTable::WriteFileAtomically(json, merged.JsonText());
  table.WriteTabSeparated(Out);
  if (!merged.Unfinished().empty()) {
    std::cerr << "kvadra: merge: warning: " << merged.Unfinished().size() << " pictures are in no partial as finished:\n";
    for (const auto& u : merged.Unfinished()) std::cerr << "  " << u.File << ": " << u.Reason << "\n";
  }
  return 0;
}

void cKvadraCli::InstallTerminationHandler()
{
  static auto handler = +[](int) {
    CancelRequested.store(true);
    std::signal(SIGTERM, SIG_DFL);
  };
  std::signal(SIGTERM, handler);
}

// ---------------------------------------------------------------- spectrum

int cKvadraCli::CommandSpectrum(cArgumentReader& args)
{
  std::string input, kind, out;
  double scale = 20.0;
  while (!args.AtEnd()) {
    const std::string a = args.Next();
    if (a == "--kind")
      kind = args.ValueOf(a);
    else if (a == "--scale") {
      scale = cArgumentReader::RequireDouble(args.ValueOf(a), "--scale");
      if (scale <= 0 || scale > 1e6) throw cCliError::Usage("--scale must lie in (0, 1e6]");
    } else if (a == "--out")
      out = args.ValueOf(a);
    else if (!a.empty() && a[0] == '-')
      throw cCliError::Usage("spectrum: unknown option '" + a + "'");
    else if (input.empty())
      input = a;
    else
      throw cCliError::Usage("spectrum: unexpected argument '" + a + "'");
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
  return 0;
}

// ---------------------------------------------------------------- demo

int cKvadraCli::CommandDemo(cArgumentReader& args)
{
  uint64_t seed = 2026;
  std::string outDir = "kvadra-demo";
  while (!args.AtEnd()) {
    const std::string a = args.Next();
    if (a == "--seed")
      seed = cArgumentReader::RequireSeed(args.ValueOf(a));
    else if (a == "--out-dir")
      outDir = args.ValueOf(a);
    else
      throw cCliError::Usage("demo: unknown option '" + a + "'");
  }
  StartSystem();
  std::string sample = kvSamplesFolder(ExecutableFolder()) + "/camera.bmp";
  if (!std::filesystem::is_regular_file(sample))
    throw cCliError::Failure("sample picture '" + sample + "' is missing; rebuild to copy the samples");
  const std::vector<std::pair<std::string, std::string>> filters = {
      {"Median Filter", "median"}, {"ROAD filter", "road"}, {"Tamsel Filter", "tamsel"}};
  const unsigned noiseUID = OperationUID("Salt-and-Pepper Noise");
  std::error_code error;
  std::filesystem::create_directories(outDir, error);
  if (error) throw cCliError::Failure("cannot create folder '" + outDir + "': " + error.message());

  cRandomGenerator::SetSeed(seed);
  LoadOrigin(sample);
  cOperationParams* noise = System->GetOperationParams(noiseUID);
  noise->ResetToDefault();
  cParameterAssigner::Assign(*noise, "Noise percent=0.2", "Salt-and-Pepper Noise");
  RunSavedStep(noiseUID, nullptr);
  const int noisyID = System->GetCurrentImageID();
  std::vector<std::pair<std::string, std::string>> files = {{"origin", "00-origin.bmp"}, {"noisy", "01-noisy.bmp"}};
  int number = 2;
  for (auto& [name, label] : filters) {
    const unsigned uid = OperationUID(name);
    System->SetCurrentImageID(noisyID);
    System->GetOperationParams(uid)->ResetToDefault();
    RunSavedStep(uid, nullptr);
    files.emplace_back(name, (number < 10 ? "0" : "") + std::to_string(number) + "-" + label + ".bmp");
    ++number;
  }
  const cResultTable table = HistoryTable();
  for (int id = 0; id < System->SavedImageCount() && size_t(id) < files.size(); ++id)
    SaveImageAtomically(*System->GetImage(id), (std::filesystem::path(outDir) / files[size_t(id)].second).string());
  cResultTable::WriteFileAtomically((std::filesystem::path(outDir) / "history.csv").string(), table.CsvText());
  Out << "Salt-and-pepper noise (20 %) on " << std::filesystem::path(sample).filename().string()
      << ", restored by three filters (seed " << seed << "):\n\n";
  table.WriteTabSeparated(Out);
  Out << "\nPictures and history.csv written to " << std::filesystem::absolute(outDir).lexically_normal().string()
      << "/\n";
  return 0;
}
