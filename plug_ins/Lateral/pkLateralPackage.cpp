// Package 099pkLateral: the bilateral, trilateral, ROAD and SD-ROM filters, in that order; one
// instance each, created at load and deleted at unload.
#include "BilateralFilter.h"
#include "ROADFilter.h"
#include "SD_ROM2Filter.h"
#include "TrilateralFilter.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<BilateralFilter, TrilateralFilter, ROADFilter, SD_ROM2Filter> Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
