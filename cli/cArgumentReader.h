#pragma once
// Walks the command line and turns option values into numbers in the C locale.
#include <cstdint>
#include <string>
#include <vector>

#include "cCliError.h"

// The largest window side of the windowed measures a caller may ask for.
constexpr int MaxMeasureWindow = 99;

class cArgumentReader {
public:
  explicit cArgumentReader(std::vector<std::string> arguments);

  bool AtEnd() const { return Position >= Arguments.size(); }
  const std::string& Peek() const;
  std::string Next();
  // The value that must follow an option; a usage error names the option when it is missing.
  std::string ValueOf(const std::string& option);

  // The end of every command's option loop, for an argument no option took: "-..." is an
  // unknown option of command, anything else its operand. Where one operand is allowed, a
  // second is refused.
  static void TakeOperand(const std::string& command, const std::string& argument, std::string& operand);
  static void TakeOperand(const std::string& command, const std::string& argument, std::vector<std::string>& operands);
  static cCliError UnknownOption(const std::string& command, const std::string& option);

  static bool ParseDouble(const std::string& text, double& value);
  static bool ParseInt(const std::string& text, long long& value);
  static double RequireDouble(const std::string& text, const std::string& what);
  static long long RequireInt(const std::string& text, const std::string& what);
  static uint64_t RequireSeed(const std::string& text);

private:
  std::vector<std::string> Arguments;
  size_t Position = 0;
};
