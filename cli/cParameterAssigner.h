#pragma once
// Applies "NAME=VALUE" texts to an operation's parameters, checking names, types and bounds
// first, so that nothing the user types can trip a kernel precondition.
#include <string>
#include <vector>

#include "kvOperations/cOperationParams.h"

// An operation as the command line names it, with the "NAME=VALUE" settings given for it.
struct sOperationSettings {
  std::string Name;
  std::vector<std::string> Settings;
};

class cParameterAssigner {
public:
  // Index of the parameter named (exactly, else ignoring case); usage error with suggestions.
  static int FindParameter(const cOperationParams& params, const std::string& name, const std::string& operation);
  // "NAME[:PARAM=VALUE[;PARAM=VALUE]...]", as --restore takes an operation.
  static sOperationSettings ParseOperation(const std::string& text);
  // Resets params to their defaults, then applies every setting of operation.
  static void Configure(cOperationParams& params, const sOperationSettings& operation);
  // "NAME=VALUE".
  static void Assign(cOperationParams& params, const std::string& assignment, const std::string& operation);
  static void AssignValue(cOperationParameter& parameter, const std::string& value, const std::string& operation);
  // "integer", "real", "boolean", "enumerated".
  static std::string KindName(const cOperationParameter& parameter);
  // Bounds as text: "0..1 (2 decimals)", "1..25 (whole numbers)", "false|true", "A|B|C".
  static std::string Range(const cOperationParameter& parameter);
  // The value as the user would type it back.
  static std::string ValueText(const cOperationParameter& parameter, bool defaultValue = false);
  static std::string FormatReal(double value, int precision);
};
