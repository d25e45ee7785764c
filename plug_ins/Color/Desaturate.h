#pragma once
#include "acOperation.h"

// Colour to grey with equal weights: (B + G + R) div 3 into a one-channel result.
class Desaturate : public acOperation {
public:
  Desaturate();
  void OperationStarted() override;
  void OperationItself(const tTerminateFlag& terminated) override;
};
