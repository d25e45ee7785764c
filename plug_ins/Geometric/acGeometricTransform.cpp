#include "acGeometricTransform.h"

acGeometricTransform::acGeometricTransform(const char* name)
{
  Describe(name, "Geometric", otBuiltIn, fmNoDialog, /*totalVariation=*/true);
}

acSingleChannelOperation::sRowForm acGeometricTransform::RowForm() const
{
  return {true, {}, true, false};
}
