#pragma once
// The kernel's built-in "Resample" (always UID 1): nearest neighbour, a 2 x 2 average named
// "Bilinear" and natural cubic splines named "Bicubic", each channel on its own.
#include "kvOperations/acOperation.h"

class cResampleOperation : public acOperation {
public:
  cResampleOperation();
  // Sizes the result to "NewWidth" x "NewHeight" whatever the region; a 0 size gives an
  // empty result.
  void OperationItself(const tTerminateFlag& terminated) override;

private:
  void NearestNeighbor(const tTerminateFlag& terminated);
  void Bilinear(const tTerminateFlag& terminated);
  void Bicubic(const tTerminateFlag& terminated);

  int Width = 0;
  int Height = 0;
  int Channels = 0;
  int NewWidth = 0;
  int NewHeight = 0;
};
