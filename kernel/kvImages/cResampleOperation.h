#pragma once
// The kernel's built-in "Resample" (always UID 1): nearest neighbour, a 2 x 2 average named
// "Bilinear" and natural cubic splines named "Bicubic", each channel on its own.
#include "acOperation.h"

class cResampleOperation : public acOperation {
public:
  cResampleOperation();
  void OperationItself(const tTerminateFlag& terminated) override;
};
