#include "cDatasetRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "cCliError.h"
#include "cNameMatcher.h"

namespace fs = std::filesystem;

namespace {

// How long the parent waits for a line from any child before it looks at Ctrl-C again.
constexpr int PollMilliseconds = 200;

uint64_t SplitMix64(uint64_t state)
{
  uint64_t z = state + 0x9E3779B97F4A7C15ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

bool IsPictureName(const fs::path& path)
{
  const std::string ext = cNameMatcher::Lower(path.extension().string());
  return ext == ".bmp" || ext == ".jpg" || ext == ".jpeg" || ext == ".png" || ext == ".tif" || ext == ".tiff";
}

struct sChild {
  pid_t Pid = -1;
  int Pipe = -1;  // the child's stdout: one line per point
  size_t Picture = 0;
  std::string ResultFile;
};

// The temporary folder of the children's result files, removed with everything in it.
class cScratchFolder {
public:
  cScratchFolder()
  {
    std::string pattern = (fs::temp_directory_path() / "kvadra-analyze-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
      throw cCliError::Failure("cannot make a temporary folder in " + fs::temp_directory_path().string());
    Path = pattern;
  }
  ~cScratchFolder()
  {
    std::error_code ignored;
    fs::remove_all(Path, ignored);
  }
  std::string Path;
};

// The child's result file: the picture's geometry, its values and whether it finished.
bool ReadChildResult(const std::string& file, const sPictureFile& picture, uint64_t seed,
                     const cDatasetResults& results, sDatasetPicture& out, std::string& reason)
{
  std::string text;
  if (!cResultTable::ReadFile(file, text) || text.empty()) return false;
  try {
    const cJsonValue v = cJsonValue::Parse(text);
    out.File = picture.Name;
    out.Seed = seed;
    out.Width = int(v.At("width").AsUnsigned());
    out.Height = int(v.At("height").AsUnsigned());
    out.Channels = int(v.At("channels").AsUnsigned());
    std::vector<std::string> series;
    for (const cJsonValue& s : v.At("series").Items()) series.push_back(s.AsString());
    std::vector<double> sweep;
    for (const cJsonValue& x : v.At("sweep").Items()) sweep.push_back(x.AsReal());
    for (const cJsonValue& criterion : v.At("values").Items()) {
      out.Values.emplace_back();
      for (const cJsonValue& s : criterion.Items()) {
        out.Values.back().emplace_back();
        for (const cJsonValue& y : s.Items()) out.Values.back().back().push_back(y.AsReal());
      }
    }
    const cJsonValue& failure = v.At("failure");
    if (!failure.IsNull()) {
      reason = failure.AsString();
      return false;
    }
    if (!v.At("complete").AsBool()) {
      reason = "cancelled";
      return false;
    }
    // The child ran the same experiment: the same restorations and sweep values.
    if (series != results.SeriesNames() || sweep != results.SweepValues()) {
      reason = "internal error: the picture's run swept other values or restorations";
      return false;
    }
    return true;
  } catch (const std::runtime_error& e) {
    reason = std::string("unreadable result: ") + e.what();
    return false;
  }
}

// Starts this program on one picture, its stdout a pipe to this process.
sChild StartChild(std::vector<std::string> arguments, size_t picture, const std::string& resultFile)
{
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw cCliError::Failure("cannot start a job: no pipe");
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    throw cCliError::Failure("cannot start a job: fork failed");
  }
  if (pid == 0) {
    // Only async-signal-safe calls between fork and exec. A process group of its own: a
    // Ctrl-C reaches the parent alone, which passes it on once. The child dies with the parent.
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    dup2(fds[1], STDOUT_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  sChild child;
  child.Pid = pid;
  child.Pipe = fds[0];
  child.Picture = picture;
  child.ResultFile = resultFile;
  return child;
}

// Closes the child's pipe, waits for it and reads its result: true when the picture finished,
// otherwise reason says why not.
bool EndChild(sChild& child, const sPictureFile& file, uint64_t seed, const cDatasetResults& results,
              sDatasetPicture& picture, std::string& reason)
{
  close(child.Pipe);
  child.Pipe = -1;
  int status = 0;
  while (waitpid(child.Pid, &status, 0) < 0 && errno == EINTR) {}
  if (ReadChildResult(child.ResultFile, file, seed, results, picture, reason)) return true;
  if (reason.empty()) {
    if (WIFSIGNALED(status))
      reason = "ended by signal " + std::to_string(WTERMSIG(status));
    else
      reason = "failed (exit code " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
  }
  return false;
}

}  // namespace

namespace kvDataset {

std::vector<sPictureFile> FindPictures(const std::vector<std::string>& inputs)
{
  std::vector<sPictureFile> found;
  for (const std::string& input : inputs) {
    std::error_code error;
    if (fs::is_directory(input, error)) {
      std::vector<sPictureFile> inFolder;
      for (const auto& entry : fs::directory_iterator(input, error))
        if (entry.is_regular_file() && IsPictureName(entry.path()))
          inFolder.push_back({entry.path().string(), entry.path().filename().string()});
      if (error) throw cCliError::Failure("cannot read folder '" + input + "': " + error.message());
      if (inFolder.empty()) throw cCliError::Failure("folder '" + input + "' holds no BMP, JPEG, PNG or TIFF picture");
      found.insert(found.end(), inFolder.begin(), inFolder.end());
    } else if (fs::is_regular_file(input, error)) {
      found.push_back({input, fs::path(input).filename().string()});
    } else {
      throw cCliError::Failure("cannot read picture '" + input + "'");
    }
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const sPictureFile& a, const sPictureFile& b) { return a.Name < b.Name; });
  std::vector<sPictureFile> unique;
  for (const sPictureFile& p : found) {
    if (!unique.empty() && unique.back().Name == p.Name) {
      std::error_code ignored;
      if (fs::equivalent(unique.back().Path, p.Path, ignored)) continue;  // the same file twice
      throw cCliError::Usage("two pictures are named '" + p.Name + "' ('" + unique.back().Path + "' and '" + p.Path +
                             "'); a picture's file name chooses its noise seed and names it in the results, so "
                             "names must differ");
    }
    unique.push_back(p);
  }
  return unique;
}

uint64_t PictureSeed(uint64_t baseSeed, const std::string& name)
{
  uint64_t hash = 0xCBF29CE484222325ull;
  for (unsigned char c : name) {
    hash ^= c;
    hash *= 0x100000001B3ull;
  }
  return SplitMix64(baseSeed ^ SplitMix64(hash));
}

unsigned CoreCount()
{
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return unsigned(CPU_COUNT(&set));
  return std::max(1u, std::thread::hardware_concurrency());
}

void ParseShard(const std::string& text, unsigned& index, unsigned& count)
{
  const size_t slash = text.find('/');
  unsigned long long k = 0, n = 0;
  bool ok = slash != std::string::npos;
  if (ok) {
    const auto [e1, r1] = std::from_chars(text.data(), text.data() + slash, k);
    const auto [e2, r2] = std::from_chars(text.data() + slash + 1, text.data() + text.size(), n);
    ok = r1 == std::errc() && e1 == text.data() + slash && slash > 0 && r2 == std::errc() &&
         e2 == text.data() + text.size() && slash + 1 < text.size();
  }
  if (!ok || n < 1 || n > 1000000 || k >= n)
    throw cCliError::Usage("--shard needs K/N with 0 <= K < N (e.g. 0/4 .. 3/4), got '" + text + "'");
  index = unsigned(k);
  count = unsigned(n);
}

}  // namespace kvDataset

cDatasetRunner::cDatasetRunner(std::string program, std::vector<std::string> experimentArguments, unsigned jobs)
    : Program(std::move(program)), ExperimentArguments(std::move(experimentArguments)), Jobs(std::max(1u, jobs))
{}

void cDatasetRunner::Run(const std::vector<sPictureFile>& pictures, uint64_t baseSeed, cDatasetResults& results,
                         const std::function<bool()>& cancelled, const std::function<void(unsigned, unsigned)>& onPoint)
{
  cScratchFolder scratch;
  std::vector<sChild> running;
  size_t next = 0;
  unsigned points = 0, finished = 0;
  bool forwarded = false;
  std::map<size_t, std::string> failures;

  auto spawn = [&](size_t index) {
    const std::string resultFile = scratch.Path + "/" + std::to_string(index) + ".json";
    std::vector<std::string> arguments = {Program, "analyze", pictures[index].Path};
    arguments.insert(arguments.end(), ExperimentArguments.begin(), ExperimentArguments.end());
    arguments.insert(arguments.end(), {"--seed", std::to_string(kvDataset::PictureSeed(baseSeed, pictures[index].Name)),
                                       "--worker", resultFile});
    running.push_back(StartChild(arguments, index, resultFile));
  };

  while (true) {
    if (cancelled() && !forwarded) {
      forwarded = true;
      for (sChild& child : running) kill(child.Pid, SIGINT);
    }
    if (running.empty() && (forwarded || next == pictures.size())) break;
    if (!forwarded && next < pictures.size() && running.size() < Jobs) {
      spawn(next++);
      continue;
    }
    std::vector<pollfd> polls;
    for (sChild& child : running) polls.push_back({child.Pipe, POLLIN, 0});
    if (poll(polls.data(), polls.size(), PollMilliseconds) < 0 && errno != EINTR)
      throw cCliError::Failure("cannot watch the jobs");
    for (size_t i = 0; i < polls.size(); ++i) {
      if (!(polls[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      sChild& child = running[i];
      char buffer[512];
      const ssize_t got = read(child.Pipe, buffer, sizeof buffer);
      if (got > 0) {
        const unsigned lines = unsigned(std::count(buffer, buffer + got, '\n'));
        if (lines) {
          points += lines;
          onPoint(points, finished);
        }
        continue;
      }
      if (got < 0 && errno == EINTR) continue;
      // End of the child's output: it has ended or is about to.
      sDatasetPicture picture;
      std::string reason;
      const uint64_t seed = kvDataset::PictureSeed(baseSeed, pictures[child.Picture].Name);
      if (EndChild(child, pictures[child.Picture], seed, results, picture, reason)) {
        results.AddPicture(std::move(picture));
        ++finished;
        onPoint(points, finished);
      } else {
        failures[child.Picture] = reason;
      }
    }
    std::erase_if(running, [](const sChild& child) { return child.Pipe < 0; });
  }
  for (auto& [index, reason] : failures) results.AddUnfinished({pictures[index].Name, reason});
  for (size_t i = next; i < pictures.size(); ++i) results.AddUnfinished({pictures[i].Name, "not started"});
}
