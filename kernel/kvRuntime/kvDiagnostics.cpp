#include "kvRuntime/kvDiagnostics.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {
tAssertionHandler& AssertionHandler()
{
  static tAssertionHandler handler;
  return handler;
}
}  // namespace

void kvSetAssertionHandler(tAssertionHandler handler)
{
  AssertionHandler() = std::move(handler);
}

void kvAssertionFailed(const char* condition, const char* unit, int line)
{
  char report[1024];
  std::snprintf(report, sizeof report, "Assertion failed: %s, unit %s, line %d", condition, unit, line);
  std::fprintf(stderr, "%s\n", report);
  std::fflush(stderr);
  // Only the first failure is shown; one raised while showing it ends the program at once.
  static std::atomic<bool> reporting{false};
  if (AssertionHandler() && !reporting.exchange(true)) {
    try {
      AssertionHandler()(report);
    } catch (...) {
      // A front end that recovers (a script's interpreter) turns the failure into an error
      // of its own; the next failure is reported again.
      reporting.store(false);
      throw;
    }
  }
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

uint64_t kvMicrosecondCount()
{
  using namespace std::chrono;
  return uint64_t(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}
