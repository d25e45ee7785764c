#pragma once
// A failure the program reports in one line on stderr, with its exit code:
// 2 for usage errors, 1 for everything else that went wrong.
#include <stdexcept>
#include <string>

class cCliError : public std::runtime_error {
public:
  enum eKind { ekUsage = 2, ekFailure = 1 };
  cCliError(eKind kind, const std::string& message);
  int ExitCode() const { return int(Kind); }

  static cCliError Usage(const std::string& message) { return cCliError(ekUsage, message); }
  static cCliError Failure(const std::string& message) { return cCliError(ekFailure, message); }

private:
  eKind Kind;
};
