// Package 030pkMeaning: the arithmetic, geometric, harmonic and contraharmonic means, in that
// order; one instance each, created at load and deleted at unload.
#include "ArithmeticMeanFilter.h"
#include "ContrHarmonicMeanFilter.h"
#include "GeometricMeanFilter.h"
#include "HarmonicMeanFilter.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<ArithmeticMeanFilter, GeometricMeanFilter, HarmonicMeanFilter, ContrHarmonicMeanFilter> Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
