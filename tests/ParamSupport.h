#pragma once
// Reading and setting an operation's parameters by name, as the dialogs and the command line
// address them: a position would silently follow any reordering of the declarations.
#include <string>

#include <gtest/gtest.h>

#include "kvOperations/acOperation.h"

namespace kvtest {

// The parameter called `name`; an unknown name fails the test, naming the parameter and its
// owner, and answers a fresh stand-in so the test runs on without indexing past the list.
inline cOperationParameter& Param(const cOperationParams& params, const std::string& name, const std::string& owner)
{
  const int index = params.FindParam(name);
  if (index >= 0) return *params.GetParam(unsigned(index));
  ADD_FAILURE() << "no parameter \"" << name << "\" in " << owner;
  static thread_local cOperationParameter standIn{sParameterInfo{}};
  standIn = cOperationParameter{sParameterInfo{}};
  return standIn;
}

inline cOperationParameter& Param(acOperation& op, const std::string& name)
{
  return Param(*op.GetParams(), name, op.GetName());
}

// The value's type picks the setter, so a whole number given to a real parameter goes
// through the integer setter exactly as a dialog's spin box would send it.
template <class tValue>
void SetParam(acOperation& op, const std::string& name, tValue value)
{
  Param(op, name).SetValue(value);
}

}  // namespace kvtest
