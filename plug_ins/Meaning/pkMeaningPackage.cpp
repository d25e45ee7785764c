// Package 030pkMeaning: the arithmetic, geometric, harmonic and contraharmonic means, in that
// order; one instance each, created at load and deleted at unload.
#include "ArithmeticMeanFilter.h"
#include "ContrHarmonicMeanFilter.h"
#include "GeometricMeanFilter.h"
#include "HarmonicMeanFilter.h"
#include "kvOperations/cOperationPool.h"

namespace {
struct sPackage {
  ArithmeticMeanFilter Arithmetic;
  GeometricMeanFilter Geometric;
  HarmonicMeanFilter Harmonic;
  ContrHarmonicMeanFilter ContrHarmonic;
};
sPackage Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&Package.Arithmetic);
  list.push_back(&Package.Geometric);
  list.push_back(&Package.Harmonic);
  list.push_back(&Package.ContrHarmonic);
}
