#include "cArgumentReader.h"

#include <charconv>
#include <cmath>

namespace {
// from_chars of the whole text, which may start with '+'; it ignores the locale, so the
// decimal point is always '.'.
template <typename tNumber>
bool ParseWhole(const std::string& text, tNumber& value)
{
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') ++first;
  const auto [end, error] = std::from_chars(first, last, value);
  return error == std::errc() && end == last && first != last;
}
}  // namespace

cArgumentReader::cArgumentReader(std::vector<std::string> arguments) : Arguments(std::move(arguments)) {}

const std::string& cArgumentReader::Peek() const
{
  static const std::string none;
  return AtEnd() ? none : Arguments[Position];
}

std::string cArgumentReader::Next()
{
  if (AtEnd()) throw cCliError::Usage("missing argument");
  return Arguments[Position++];
}

std::string cArgumentReader::ValueOf(const std::string& option)
{
  if (AtEnd()) throw cCliError::Usage("option " + option + " needs a value");
  return Arguments[Position++];
}

void cArgumentReader::TakeOperand(const std::string& command, const std::string& argument, std::string& operand)
{
  if (!argument.empty() && argument[0] == '-') throw UnknownOption(command, argument);
  if (!operand.empty()) throw cCliError::Usage(command + ": unexpected argument '" + argument + "'");
  operand = argument;
}

void cArgumentReader::TakeOperand(const std::string& command, const std::string& argument,
                                  std::vector<std::string>& operands)
{
  if (!argument.empty() && argument[0] == '-') throw UnknownOption(command, argument);
  operands.push_back(argument);
}

cCliError cArgumentReader::UnknownOption(const std::string& command, const std::string& option)
{
  return cCliError::Usage(command + ": unknown option '" + option + "'");
}

bool cArgumentReader::ParseDouble(const std::string& text, double& value)
{
  return ParseWhole(text, value) && std::isfinite(value);
}

bool cArgumentReader::ParseInt(const std::string& text, long long& value)
{
  return ParseWhole(text, value);
}

double cArgumentReader::RequireDouble(const std::string& text, const std::string& what)
{
  double value;
  if (!ParseDouble(text, value)) throw cCliError::Usage(what + ": '" + text + "' is not a number");
  return value;
}

long long cArgumentReader::RequireInt(const std::string& text, const std::string& what)
{
  long long value;
  if (!ParseInt(text, value)) throw cCliError::Usage(what + ": '" + text + "' is not a whole number");
  return value;
}

uint64_t cArgumentReader::RequireSeed(const std::string& text)
{
  uint64_t value;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty())
    throw cCliError::Usage("--seed: '" + text + "' is not a non-negative whole number");
  return value;
}
