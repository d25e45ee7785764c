#pragma once
// "JPEG": degrades the working region the way lossy storage does, by encoding it alone at the
// chosen quality, decoding it again and putting the decoded pixels back. Works in memory, so
// no file is created and simultaneous runs cannot disturb each other.
#include "kvOperations/acOperation.h"

class jpegFilter : public acOperation {
public:
  jpegFilter();
  void OperationItself(const tTerminateFlag& terminated) override;

private:
  sParamHandle QualityParam;
};
