#pragma once
// A failure the program reports in one line on stderr, with its exit code:
// 2 for usage errors, 1 for everything else that went wrong.
#include <stdexcept>
#include <string>

class cImage;

// The program's exit codes. A run stopped by Ctrl-C or SIGTERM ends as shells report a death
// by SIGINT (128 + 2), though it has written what it made.
enum eExitCode { ecSuccess = 0, ecFailure = 1, ecUsage = 2, ecCancelled = 130 };

class cCliError : public std::runtime_error {
public:
  enum eKind { ekUsage = ecUsage, ekFailure = ecFailure };
  cCliError(eKind kind, const std::string& message);
  int ExitCode() const { return int(Kind); }

  static cCliError Usage(const std::string& message) { return cCliError(ekUsage, message); }
  static cCliError Failure(const std::string& message) { return cCliError(ekFailure, message); }
  // Why a picture could not be loaded, for the error line.
  static std::string LoadFailureText(const std::string& file, const cImage& image);

private:
  eKind Kind;
};
