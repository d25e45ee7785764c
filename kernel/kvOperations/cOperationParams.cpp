#include "kvOperations/cOperationParams.h"

#include <cstdio>

#include "kvOperations/acOperation.h"
#include "kvRuntime/kvDiagnostics.h"

KV_UNIT("kvKernel_bpl\\kvOperations\\cOperationParams");

cOperationParams::cOperationParams(acOperation* theOperation) : itsOperation(theOperation)
{
  KV_ASSERT(theOperation != nullptr, "theOperation != NULL");
}

cOperationParams::cOperationParams(const cOperationParams& other) : itsOperation(other.itsOperation)
{
  ParamsList.reserve(other.ParamsList.size());
  for (const cOperationParameter* p : other.ParamsList) ParamsList.push_back(new cOperationParameter(*p));
}

cOperationParams& cOperationParams::operator=(const cOperationParams& other)
{
  if (this == &other) return *this;
  Clear();
  itsOperation = other.itsOperation;
  for (const cOperationParameter* p : other.ParamsList) ParamsList.push_back(new cOperationParameter(*p));
  return *this;
}

cOperationParams::~cOperationParams()
{
  Clear();
}

cOperationParameter* cOperationParams::GetParam(unsigned ID) const
{
  KV_ASSERT(ID < ParamsList.size(), "ID<ParamsList->size()");
  return ParamsList[ID];
}

sParamHandle cOperationParams::AddNewParam(const sParameterInfo& info)
{
  ParamsList.push_back(new cOperationParameter(info));
  return sParamHandle{unsigned(ParamsList.size() - 1)};
}

sParamHandle cOperationParams::AddInteger(const std::string& name, int min, int max, int defaultValue)
{
  return AddNewParam(sParameterInfo::Of(ptInteger, name, min, max, defaultValue, 0));
}

sParamHandle cOperationParams::AddReal(const std::string& name, double min, double max, double defaultValue,
                                       uint8_t precision)
{
  return AddNewParam(sParameterInfo::Of(ptReal, name, min, max, defaultValue, precision));
}

sParamHandle cOperationParams::AddBoolean(const std::string& name, bool defaultValue)
{
  return AddNewParam(sParameterInfo::Of(ptBoolean, name, 0, 1, defaultValue ? 1 : 0));
}

sParamHandle cOperationParams::AddEnumerated(const std::string& name, const std::vector<std::string>& choices,
                                             int defaultIndex)
{
  // The stored bounds of a choice come from the choices themselves; these only pass the check.
  sParameterInfo info = sParameterInfo::Of(ptEnumerated, name, 0, double(choices.size()), defaultIndex);
  info.EnumStrings = choices;
  return AddNewParam(info);
}

void cOperationParams::Clear()
{
  for (cOperationParameter* p : ParamsList) delete p;
  ParamsList.clear();
}

std::string cOperationParams::GetName() const
{
  KV_ASSERT(itsOperation != nullptr, "itsOperation != NULL");
  return itsOperation->GetName();
}

std::string cOperationParams::GetGroup() const
{
  KV_ASSERT(itsOperation != nullptr, "itsOperation != NULL");
  return itsOperation->GetGroupName();
}

void cOperationParams::ResetToDefault()
{
  for (cOperationParameter* p : ParamsList) p->ResetToDefault();
}

void cOperationParams::ApplyToOperation()
{
  KV_ASSERT(itsOperation != nullptr, "itsOperation != NULL");
  // Called on a copy: the live set goes, a fresh copy of this one takes its place.
  KV_ASSERT(itsOperation->Params != this, "ApplyToOperation on a copy");
  delete itsOperation->Params;
  itsOperation->Params = new cOperationParams(*this);
}

int cOperationParams::FindParam(const std::string& name) const
{
  for (size_t i = 0; i < ParamsList.size(); ++i)
    if (ParamsList[i]->GetName() == name) return int(i);
  return -1;
}

std::string cOperationParams::GetShortInfo() const
{
  std::string s = "(";
  for (unsigned i = 0; i < ParamsList.size(); ++i) {
    const cOperationParameter* theParam = ParamsList[i];
    KV_ASSERT(theParam != nullptr, "theParam != NULL");
    switch (theParam->GetType()) {
      case ptInteger:
        if (i > 0) s += ";";
        s += theParam->GetShortName() + "=" + std::to_string(theParam->GetInteger());
        break;
      case ptReal: {
        if (i > 0) s += ";";
        char text[64];
        std::snprintf(text, sizeof text, "%.15g", theParam->GetReal());
        s += theParam->GetShortName() + "=" + text;
        break;
      }
      case ptBoolean:
        if (theParam->GetBoolean()) {
          if (i > 0) s += ";";
          s += theParam->GetShortName();
        }
        break;
      case ptEnumerated: break;
    }
  }
  return s + ")";
}
