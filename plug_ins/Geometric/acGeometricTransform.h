#pragma once
#include "kvOperations/acSingleChannelOperation.h"

// Common ground of the transforms that move every sample to another place: built-ins without
// parameters whose result the history takes as a new origin. Each span is written where its
// pixels go, never in place, so rows are independent.
class acGeometricTransform : public acSingleChannelOperation {
protected:
  explicit acGeometricTransform(const char* name);
  sRowForm RowForm() const override;
};
