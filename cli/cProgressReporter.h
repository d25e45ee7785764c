#pragma once
// Progress of a long run on stderr: a bar redrawn in place on a terminal, plain lines otherwise.
#include <chrono>
#include <string>

class cProgressReporter {
public:
  cProgressReporter(std::string what, unsigned total);
  void Step(unsigned done);
  // detail follows the count, e.g. "3/12 pictures".
  void Step(unsigned done, const std::string& detail);
  void Finish();

private:
  std::string What;
  unsigned Total;
  bool Terminal;
  bool Drawn = false;
  std::chrono::steady_clock::time_point Started;
};
