#include "cParameterAssigner.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

#include "cArgumentReader.h"
#include "cCliError.h"
#include "cNameMatcher.h"

namespace {

// The scaled value whose real form is exactly bound (the stored bound reads back the same way).
int RawBound(const cOperationParameter& p, double bound)
{
  const int guess = p.RealToData(bound);
  for (int r : {guess, guess + 1, guess - 1})
    if (p.DataToReal(r) == bound) return r;
  return guess;
}

}  // namespace

int cParameterAssigner::FindParameter(const cOperationParams& params, const std::string& name,
                                      const std::string& operation)
{
  std::vector<std::string> names;
  for (int i = 0; i < params.GetParamsCount(); ++i) names.push_back(params.GetParam(unsigned(i))->GetName());
  if (const auto index = cNameMatcher::Find(name, names)) return int(*index);
  if (names.empty())
    throw cCliError::Usage("operation '" + operation + "' has no parameters (asked for '" + name + "')");
  throw cCliError::Usage("operation '" + operation + "' has no parameter '" + name + "'" +
                         cNameMatcher::Suggestion(name, names));
}

sOperationSettings cParameterAssigner::ParseOperation(const std::string& text)
{
  const size_t colon = text.find(':');
  sOperationSettings operation{text.substr(0, colon), {}};
  if (colon != std::string::npos) {
    std::stringstream stream(text.substr(colon + 1));
    for (std::string part; std::getline(stream, part, ';');)
      if (!part.empty()) operation.Settings.push_back(part);
  }
  return operation;
}

void cParameterAssigner::Configure(cOperationParams& params, const sOperationSettings& operation)
{
  params.ResetToDefault();
  for (const std::string& setting : operation.Settings) Assign(params, setting, operation.Name);
}

void cParameterAssigner::Assign(cOperationParams& params, const std::string& assignment, const std::string& operation)
{
  const size_t eq = assignment.find('=');
  if (eq == std::string::npos || eq == 0)
    throw cCliError::Usage("malformed parameter setting '" + assignment + "' (expected NAME=VALUE)");
  const std::string name = assignment.substr(0, eq);
  const std::string value = assignment.substr(eq + 1);
  const int index = FindParameter(params, name, operation);
  AssignValue(*params.GetParam(unsigned(index)), value, operation);
}

void cParameterAssigner::AssignValue(cOperationParameter& p, const std::string& value, const std::string& operation)
{
  const std::string where = "parameter '" + p.GetName() + "' of '" + operation + "'";
  switch (p.GetType()) {
    case ptInteger: {
      long long v;
      int lo, hi;
      p.GetBounds(lo, hi);
      if (!cArgumentReader::ParseInt(value, v))
        throw cCliError::Usage(where + ": '" + value + "' is not a whole number; bounds " + Range(p));
      if (v < lo || v > hi) throw cCliError::Usage(where + ": " + value + " is outside the bounds " + Range(p));
      p.SetValue(int(v));
      break;
    }
    case ptReal: {
      double v, lo, hi;
      uint8_t precision;
      p.GetBounds(lo, hi, precision);
      if (!cArgumentReader::ParseDouble(value, v))
        throw cCliError::Usage(where + ": '" + value + "' is not a number; bounds " + Range(p));
      // Values are stored scaled and floored; the bounds are checked on the stored form.
      const double scaled = v * std::pow(10.0, precision);
      const int raw = (scaled > 2e9 || scaled < -2e9) ? (scaled > 0 ? INT32_MAX : INT32_MIN) : p.RealToData(v);
      if (raw < RawBound(p, lo) || raw > RawBound(p, hi))
        throw cCliError::Usage(where + ": " + value + " is outside the bounds " + Range(p));
      p.SetValue(v);
      break;
    }
    case ptBoolean: {
      const std::string v = cNameMatcher::Lower(value);
      if (v == "true" || v == "1")
        p.SetValue(true);
      else if (v == "false" || v == "0")
        p.SetValue(false);
      else
        throw cCliError::Usage(where + ": '" + value + "' is not true or false");
      break;
    }
    case ptEnumerated: {
      const int count = p.GetEnumStringCount();
      std::vector<std::string> choices;
      for (int i = 0; i < count; ++i) choices.push_back(p.GetEnumString(unsigned(i)));
      if (const auto choice = cNameMatcher::Find(value, choices)) {
        p.SetValue(int(*choice));
        return;
      }
      long long index;
      if (cArgumentReader::ParseInt(value, index) && index >= 0 && index < count) {
        p.SetValue(int(index));
        return;
      }
      throw cCliError::Usage(where + ": '" + value + "' is not one of " + Range(p) + " (or an index 0.." +
                             std::to_string(count - 1) + ")" + cNameMatcher::Suggestion(value, choices));
    }
  }
}

std::string cParameterAssigner::KindName(const cOperationParameter& p)
{
  switch (p.GetType()) {
    case ptInteger: return "integer";
    case ptReal: return "real";
    case ptBoolean: return "boolean";
    case ptEnumerated: return "enumerated";
  }
  return "unknown";
}

std::string cParameterAssigner::FormatReal(double value, int precision)
{
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", precision, value);
  return text;
}

std::string cParameterAssigner::Range(const cOperationParameter& p)
{
  switch (p.GetType()) {
    case ptInteger: {
      int lo, hi;
      p.GetBounds(lo, hi);
      return std::to_string(lo) + ".." + std::to_string(hi) + " (whole numbers)";
    }
    case ptReal: {
      double lo, hi;
      uint8_t precision;
      p.GetBounds(lo, hi, precision);
      return FormatReal(lo, precision) + ".." + FormatReal(hi, precision) + " (" + std::to_string(precision) +
             " decimals)";
    }
    case ptBoolean: return "false|true";
    case ptEnumerated: {
      std::string s;
      for (int i = 0; i < p.GetEnumStringCount(); ++i) {
        if (i) s += '|';
        s += p.GetEnumString(unsigned(i));
      }
      return s;
    }
  }
  return "";
}

std::string cParameterAssigner::ValueText(const cOperationParameter& p, bool defaultValue)
{
  const int raw = defaultValue ? p.GetRawDefault() : p.GetRawValue();
  switch (p.GetType()) {
    case ptInteger: return std::to_string(raw);
    case ptReal: return FormatReal(p.DataToReal(raw), p.GetPrecision());
    case ptBoolean: return raw ? "true" : "false";
    case ptEnumerated:
      return (raw >= 0 && raw < p.GetEnumStringCount()) ? p.GetEnumString(unsigned(raw)) : std::to_string(raw);
  }
  return "";
}
