// Package 210pkNoises: the per-sample noises, one instance each, created when the
// package is loaded and deleted when it is unloaded; GLO hands them out in menu order.
#include "ExponentialNoise.h"
#include "GaussianNoise.h"
#include "ImpulseGaussianNoise.h"
#include "PepperNoise.h"
#include "PoissonGaussianNoise.h"
#include "PoissonNoise.h"
#include "RandomValuedNoise.h"
#include "RayleighNoise.h"
#include "SaltAndPepperNoise.h"
#include "SaltNoise.h"
#include "SimpleSpeckleNoise.h"
#include "kvOperations/cPackageOperations.h"

namespace {
cPackageOperations<GaussianNoise, ExponentialNoise, RayleighNoise, SimpleSpeckleNoise, SaltAndPepperNoise, SaltNoise,
                   PepperNoise, RandomValuedNoise, ImpulseGaussianNoise, PoissonNoise, PoissonGaussianNoise>
    Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  Package.AppendTo(list);
}
