#pragma once
// Declaration record of one operation parameter; copied by cOperationParams::AddNewParam, so
// one record may be reused for several declarations.
#include <cstdint>
#include <string>
#include <vector>

enum eParameterType : uint8_t { ptInteger = 0, ptReal = 1, ptBoolean = 2, ptEnumerated = 3 };

struct sParameterInfo {
  std::vector<std::string> EnumStrings;
  std::string ParameterName = "Empty parametr";
  eParameterType theParameterType = ptReal;
  double MinBound = 0.0;
  double MaxBound = 100.0;
  double DefaultValue = 0.0;
  uint8_t Precision = 2;

  // A whole declaration in one call (no choices yet).
  static sParameterInfo Of(eParameterType type, const std::string& name, double min, double max, double defaultValue,
                           uint8_t precision = 2);

  void AddEnumString(const std::string& text);
};
