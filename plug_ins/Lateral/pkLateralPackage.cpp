// Package 099pkLateral: the bilateral, trilateral, ROAD and SD-ROM filters, in that order; one
// instance each, created at load and deleted at unload.
#include "BilateralFilter.h"
#include "ROADFilter.h"
#include "SD_ROM2Filter.h"
#include "TrilateralFilter.h"
#include "kvOperations/cOperationPool.h"

namespace {
struct sPackage {
  BilateralFilter Bilateral;
  TrilateralFilter Trilateral;
  ROADFilter ROAD;
  SD_ROM2Filter SDROM;
};
sPackage Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&Package.Bilateral);
  list.push_back(&Package.Trilateral);
  list.push_back(&Package.ROAD);
  list.push_back(&Package.SDROM);
}
