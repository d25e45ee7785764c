#pragma once
// The kernel's two outlets for trouble: failed preconditions (programming errors) end the
// program with the condition text, the unit and the line; debug texts go to stderr.
#include <cstdint>
#include <functional>
#include <string>

[[noreturn]] void kvAssertionFailed(const char* condition, const char* unit, int line);
// A front end with windows shows the failure to the user before the program ends (the text goes
// to stderr first). The handler gets the report line; it may return, or throw to the caller.
using tAssertionHandler = std::function<void(const std::string& report)>;
void kvSetAssertionHandler(tAssertionHandler handler);
void kvDebugOutput(const std::string& text);
// Front ends without a debugger window may silence the debug texts (on by default).
void kvSetDebugOutputEnabled(bool enabled);
// Millisecond tick counter (steady clock).
uint32_t kvTickCount();
// Microseconds on the same monotonic clock, for run times.
uint64_t kvMicrosecondCount();

// Every file that checks preconditions names its unit once, at namespace scope:
//   KV_UNIT("kvKernel_bpl\\kvOperations\\cOperationPool");
#define KV_UNIT(name)                                       \
  namespace {                                               \
  [[maybe_unused]] constexpr const char* kvUnitName = name; \
  }                                                         \
  static_assert(true)
// KV_ASSERT(condition, "reported text"): checked in every build type; a failure reports the
// text, the file's unit and the line, and ends the program.
#define KV_ASSERT(cond, text)                                   \
  do {                                                          \
    if (!(cond)) kvAssertionFailed(text, kvUnitName, __LINE__); \
  } while (0)
