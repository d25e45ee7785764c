#include "kvOperations/sParameterInfo.h"

#include "kvDiagnostics.h"

KV_UNIT("kvKernel_bpl\\kvOperations\\cOperationParameter");

void sParameterInfo::AddEnumString(const std::string& text)
{
  KV_ASSERT(theParameterType == ptEnumerated, "theParameterType == ptEnumerated");
  EnumStrings.push_back(text);
}
