#include "kvDiagnostics.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

void kvAssertionFailed(const char* condition, const char* unit, int line)
{
  std::fprintf(stderr, "Assertion failed: %s, unit %s, line %d\n", condition, unit, line);
  std::fflush(stderr);
  std::abort();
}

void kvDebugOutput(const std::string& text)
{
  std::fprintf(stderr, "%s\n", text.c_str());
}

uint32_t kvTickCount()
{
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
