#pragma once
// Progress of a long run on stderr: a bar redrawn in place on a terminal, plain lines otherwise.
#include <chrono>
#include <string>

class cProgressReporter {
public:
  cProgressReporter(std::string what, unsigned total);
  void Step(unsigned done);
  void Finish();

private:
  std::string What;
  unsigned Total;
  bool Terminal;
  bool Drawn = false;
  std::chrono::steady_clock::time_point Started;
};
