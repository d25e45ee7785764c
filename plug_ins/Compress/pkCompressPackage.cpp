// Package 310pkCompress: the JPEG round trip, created at load and deleted at unload.
#include "jpegFilter.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<jpegFilter> Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
