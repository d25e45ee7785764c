#pragma once
// The ordered parameter set of one operation; renders the summary that titles results.
#include <string>
#include <vector>

#include "kvOperations/cOperationParameter.h"

class acOperation;

using tParamsList = std::vector<cOperationParameter*>;

// What a declaration returns and the operation reads its value through: the position, kept
// by the set, so the reader never depends on counting declarations. (A pointer would not do:
// a confirmed dialog replaces the whole set by a copy.)
struct sParamHandle {
  unsigned Index = 0;
};

class cOperationParams {
public:
  cOperationParams() = default;
  explicit cOperationParams(acOperation* theOperation);
  cOperationParams(const cOperationParams& other);
  cOperationParams& operator=(const cOperationParams& other);
  ~cOperationParams();

  int GetParamsCount() const { return int(ParamsList.size()); }
  // By position: a position past the end is a failed precondition (as every lookup by
  // position or UID in the kernel); a lookup by name (FindParam) answers "none" instead.
  cOperationParameter* GetParam(unsigned ID) const;
  // Returns the new parameter's handle.
  sParamHandle AddNewParam(const sParameterInfo& info);
  // One-line declarations.
  sParamHandle AddInteger(const std::string& name, int min, int max, int defaultValue);
  sParamHandle AddReal(const std::string& name, double min, double max, double defaultValue, uint8_t precision = 2);
  sParamHandle AddBoolean(const std::string& name, bool defaultValue);
  sParamHandle AddEnumerated(const std::string& name, const std::vector<std::string>& choices, int defaultIndex = 0);
  // The parameter a handle of this set names.
  const cOperationParameter& operator[](sParamHandle handle) const { return *GetParam(handle.Index); }
  cOperationParameter& operator[](sParamHandle handle) { return *GetParam(handle.Index); }
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
