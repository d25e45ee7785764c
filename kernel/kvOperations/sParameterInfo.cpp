#include "sParameterInfo.h"

#include "kvDiagnostics.h"

void sParameterInfo::AddEnumString(const std::string& text)
{
  KV_ASSERT(theParameterType == ptEnumerated, "kvKernel_bpl\\kvOperations\\cOperationParameter");
  EnumStrings.push_back(text);
}
