#pragma once
// The kernel's two outlets for trouble: failed preconditions (programming errors) end the
// program with the condition text, the unit and the line; debug texts go to stderr.
#include <cstdint>
#include <functional>
#include <string>

[[noreturn]] void kvAssertionFailed(const char* condition, const char* unit, int line);
// A front end with windows shows the failure to the user before the program ends (the text
// still goes to stderr first). The handler receives the whole report line; it may return.
using tAssertionHandler = std::function<void(const std::string& report)>;
void kvSetAssertionHandler(tAssertionHandler handler);
void kvDebugOutput(const std::string& text);
// Front ends without a debugger window may silence the debug texts (on by default).
void kvSetDebugOutputEnabled(bool enabled);
// Millisecond tick counter (steady clock).
uint32_t kvTickCount();
// Microseconds on the same monotonic clock, for run times.
uint64_t kvMicrosecondCount();

// KV_ASSERT(condition, "kvKernel_bpl\\kvOperations\\cOperationPool"): checked in every build type.
#define KV_ASSERT(cond, unit)                                  \
  do {                                                         \
    if (!(cond)) kvAssertionFailed(#cond, unit, __LINE__);     \
  } while (0)
// For conditions whose reported text differs from the expression that checks it.
#define KV_ASSERT_TEXT(cond, text, unit)                       \
  do {                                                         \
    if (!(cond)) kvAssertionFailed(text, unit, __LINE__);      \
  } while (0)
