#pragma once
// Parameter declarations in one line, for tests and test packages.
#include <string>

#include "kvOperations/sParameterInfo.h"

namespace kvtest {

inline sParameterInfo Info(eParameterType type, const std::string& name, double min, double max, double def,
                           int precision = 2)
{
  return sParameterInfo::Of(type, name, min, max, def, uint8_t(precision));
}

// An enumerated parameter with choices "choice 0" .. "choice count-1".
inline sParameterInfo Choices(const std::string& name, int count)
{
  sParameterInfo info = Info(ptEnumerated, name, 0, count - 1, 0);
  for (int i = 0; i < count; ++i) info.AddEnumString("choice " + std::to_string(i));
  return info;
}

}  // namespace kvtest
