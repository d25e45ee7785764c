#include "kvDiagnostics.h"

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
