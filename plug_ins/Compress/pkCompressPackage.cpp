// Package 310pkCompress: the JPEG round trip, created at load and deleted at unload.
#include "cOperationPool.h"
#include "jpegFilter.h"

namespace {
jpegFilter JpegRoundTrip;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&JpegRoundTrip);
}
