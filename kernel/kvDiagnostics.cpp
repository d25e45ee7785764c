#include "kvDiagnostics.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

void kvAssertionFailed(const char* condition, const char* unit, int line)
{
  std::fprintf(stderr, "Assertion failed: %s, unit %s, line %d\n", condition, unit, line);
  std::fflush(stderr);
  std::abort();
}

namespace {
std::atomic<bool> DebugOutputEnabled{true};
}

void kvDebugOutput(const std::string& text)
{
  if (DebugOutputEnabled.load(std::memory_order_relaxed)) std::fprintf(stderr, "%s\n", text.c_str());
}

void kvSetDebugOutputEnabled(bool enabled)
{
  DebugOutputEnabled.store(enabled);
}

uint32_t kvTickCount()
{
  using namespace std::chrono;
  return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
