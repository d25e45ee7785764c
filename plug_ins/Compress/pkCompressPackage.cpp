// Package 310pkCompress: the JPEG round trip, created at load and deleted at unload.
#include "kvOperations/cOperationPool.h"
#include "jpegFilter.h"

namespace {
jpegFilter JpegRoundTrip;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&JpegRoundTrip);
}
