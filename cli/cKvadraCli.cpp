#include "cKvadraCli.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>

#include "cAnalyzerResults.h"
#include "cCliError.h"
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
    "  analyze    sweep a corruption parameter and measure every restoration\n"
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
     "Usage: kvadra analyze INPUT --corrupt NAME [--set PARAM=VALUE]... --sweep PARAM MIN MAX STEPS\n"
     "                      {--restore NAME[:PARAM=VALUE[;PARAM=VALUE]...]}...\n"
     "                      [--criterion MSE|PSNR|IQ|IQHVS|SSIM|Time] [--seed N] [--csv FILE] [--json FILE]\n"
     "Corrupts INPUT once per sweep value (MIN to MAX in STEPS steps), restores every corrupted\n"
     "picture with each --restore and prints one line per sweep value with the criterion of every\n"
     "restoration. Ctrl-C stops after the current operation and keeps the points made.\n"},
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
  cAnalyzerProgressObserver(cKvadraSystem& system, cProgressReporter& reporter) : System(system), Reporter(reporter) {}
  void Update(sMessage& message) override
  {
    if (!Active) return;
    if (message.Msg == ANALYZER_POINT_READY) Reporter.Step(++Points);
    if (CancelRequested.load()) System.AnalyzerCancel();
  }
  bool Active = true;
  unsigned Points = 0;

private:
  cKvadraSystem& System;
  cProgressReporter& Reporter;
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
  std::string input, corrupt, sweepName, criterion = "PSNR", csv, json;
  std::vector<std::string> corruptSettings;
  std::vector<sRestore> restores;
  double sweepMin = 0, sweepMax = 0;
  long long sweepSteps = 0;
  bool hasSweep = false, hasSeed = false;
  uint64_t seed = 0;
  while (!args.AtEnd()) {
    const std::string a = args.Next();
    if (a == "--corrupt")
      corrupt = args.ValueOf(a);
    else if (a == "--set")
      corruptSettings.push_back(args.ValueOf(a));
    else if (a == "--sweep") {
      sweepName = args.ValueOf(a);
      sweepMin = cArgumentReader::RequireDouble(args.ValueOf(a), "--sweep MIN");
      sweepMax = cArgumentReader::RequireDouble(args.ValueOf(a), "--sweep MAX");
      sweepSteps = cArgumentReader::RequireInt(args.ValueOf(a), "--sweep STEPS");
      if (sweepSteps < 1 || sweepSteps > 100000) throw cCliError::Usage("--sweep STEPS must lie in 1..100000");
      if (sweepMin > sweepMax) throw cCliError::Usage("--sweep MIN must not exceed MAX");
      hasSweep = true;
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
    } else if (a == "--criterion") {
      criterion = args.ValueOf(a);
      static const std::vector<std::string> known = {"MSE", "PSNR", "IQ", "IQHVS", "SSIM", "Time"};
      if (std::find(known.begin(), known.end(), criterion) == known.end())
        throw cCliError::Usage("unknown criterion '" + criterion + "'" + cNameMatcher::Suggestion(criterion, known) +
                               "; one of MSE, PSNR, IQ, IQHVS, SSIM, Time");
    } else if (a == "--seed") {
      seed = cArgumentReader::RequireSeed(args.ValueOf(a));
      hasSeed = true;
    } else if (a == "--csv")
      csv = args.ValueOf(a);
    else if (a == "--json")
      json = args.ValueOf(a);
    else if (!a.empty() && a[0] == '-')
      throw cCliError::Usage("analyze: unknown option '" + a + "'");
    else if (input.empty())
      input = a;
    else
      throw cCliError::Usage("analyze: unexpected argument '" + a + "'");
  }
  if (input.empty()) throw cCliError::Usage("analyze: missing INPUT picture");
  if (corrupt.empty()) throw cCliError::Usage("analyze: missing --corrupt NAME");
  if (!hasSweep) throw cCliError::Usage("analyze: missing --sweep PARAM MIN MAX STEPS");
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
  cAnalyzerProgressObserver observer(*System, reporter);
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
