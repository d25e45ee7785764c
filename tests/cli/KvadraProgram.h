#pragma once
// Runs the built kvadra program as a subprocess, as scripts do, in a scratch folder of its own
// per test, and reads what it printed and wrote.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "BmpFileBuilder.h"

namespace kvtest {

struct sProgramResult {
  int Code = -1;  // -1: ended by a signal
  std::string Out;
  std::string Err;
  long PeakKiB = 0;  // the largest resident size of the program alone
};

inline std::string ReadFile(const std::filesystem::path& file)
{
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Lines split at separator; a line's '\r' is dropped and a separator at its end ends an empty cell.
inline std::vector<std::vector<std::string>> Cells(const std::string& text, char separator = '\t')
{
  std::vector<std::vector<std::string>> rows;
  std::stringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> cells;
    std::stringstream cellStream(line);
    for (std::string cell; std::getline(cellStream, cell, separator);) cells.push_back(cell);
    if (!line.empty() && line.back() == separator) cells.push_back("");
    rows.push_back(cells);
  }
  return rows;
}

// Starts program in folder with stdin empty and stdout and stderr captured in folder's
// stdout.txt and stderr.txt; environment: "NAME=VALUE" assignments for the program alone.
inline pid_t StartProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::filesystem::path& folder, const std::vector<std::string>& environment = {})
{
  std::vector<std::string> texts = {program};
  texts.insert(texts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  const std::string outFile = (folder / "stdout.txt").string(), errFile = (folder / "stderr.txt").string();
  std::vector<std::string> assignments = environment;
  const pid_t child = fork();
  if (child == 0) {
    for (std::string& assignment : assignments) putenv(assignment.data());
    if (chdir(folder.c_str()) != 0) _exit(126);
    dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
    dup2(open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
    dup2(open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return child;
}

// Waits for a program StartProgram started and takes its captured output out of folder.
inline sProgramResult FinishProgram(pid_t child, const std::filesystem::path& folder)
{
  sProgramResult result;
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  result.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.PeakKiB = usage.ru_maxrss;
  for (auto [name, text] : {std::pair{"stdout.txt", &result.Out}, std::pair{"stderr.txt", &result.Err}}) {
    *text = ReadFile(folder / name);
    std::filesystem::remove(folder / name);
  }
  return result;
}

inline std::string KvadraProgram()
{
  return std::string(KV_BIN_DIR) + "/kvadra";
}

// A test that runs kvadra in its own scratch folder.
class KvadraProgramTest : public ::testing::Test {
protected:
  sProgramResult Run(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {})
  {
    return RunProgram(KvadraProgram(), arguments, environment);
  }
  sProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                            const std::vector<std::string>& environment = {})
  {
    return FinishProgram(StartProgram(program, arguments, Dir, environment), Dir);
  }
  std::string File(const std::string& name) const { return ReadFile(Dir / name); }

  ScratchFolder Scratch;
  const std::filesystem::path Dir = Scratch.Path;
};

}  // namespace kvtest
