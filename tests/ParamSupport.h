#pragma once
// Setting an operation's parameters by position or by name, as the dialogs would.
#include <string>

#include <gtest/gtest.h>

#include "kvOperations/acOperation.h"

namespace kvtest {

inline cOperationParameter* Param(acOperation& op, unsigned index)
{
  return op.GetParams()->GetParam(index);
}

inline cOperationParameter* Param(acOperation& op, const std::string& name)
{
  const int i = op.GetParams()->FindParam(name);
  EXPECT_GE(i, 0) << "no parameter " << name << " in " << op.GetName();
  return op.GetParams()->GetParam(unsigned(i));
}

// The value's type picks the setter, so a whole number given to a real parameter goes
// through the integer setter exactly as a dialog's spin box would send it.
template <class tKey>
void Set(acOperation& op, const tKey& key, int value)
{
  Param(op, key)->SetValue(value);
}
template <class tKey>
void Set(acOperation& op, const tKey& key, double value)
{
  Param(op, key)->SetValue(value);
}
template <class tKey>
void Set(acOperation& op, const tKey& key, bool value)
{
  Param(op, key)->SetValue(value);
}

}  // namespace kvtest
