#pragma once
// The ordered parameter set of one operation; renders the summary that titles results.
#include <string>
#include <vector>

#include "cOperationParameter.h"

class acOperation;

using tParamsList = std::vector<cOperationParameter*>;

class cOperationParams {
public:
  cOperationParams() = default;
  explicit cOperationParams(acOperation* theOperation);
  cOperationParams(const cOperationParams& other);
  cOperationParams& operator=(const cOperationParams& other);
  ~cOperationParams();

  int GetParamsCount() const { return int(ParamsList.size()); }
  cOperationParameter* GetParam(unsigned ID) const;
  void AddNewParam(const sParameterInfo& info);
  void Clear();
  std::string GetName() const;
  std::string GetGroup() const;
  void ResetToDefault();
  // Replaces the owning operation's live set by a copy of this one; call on a copy only.
  void ApplyToOperation();
  std::string GetShortInfo() const;

  acOperation* GetOperation() const { return itsOperation; }
  // Index of the parameter with this name, or -1.
  int FindParam(const std::string& name) const;

private:
  acOperation* itsOperation = nullptr;
  tParamsList ParamsList;
};
