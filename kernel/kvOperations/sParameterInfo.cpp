#include "kvOperations/sParameterInfo.h"

#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvKernel_bpl\\kvOperations\\cOperationParameter");

sParameterInfo sParameterInfo::Of(eParameterType type, const std::string& name, double min, double max,
                                  double defaultValue, uint8_t precision)
{
  sParameterInfo info;
  info.theParameterType = type;
  info.ParameterName = name;
  info.MinBound = min;
  info.MaxBound = max;
  info.DefaultValue = defaultValue;
  info.Precision = precision;
  return info;
}

void sParameterInfo::AddEnumString(const std::string& text)
{
  KV_ASSERT(theParameterType == ptEnumerated, "theParameterType == ptEnumerated");
  EnumStrings.push_back(text);
}
