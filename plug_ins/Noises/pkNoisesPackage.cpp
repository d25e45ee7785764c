// Package 210pkNoises: the nine per-sample noises, one instance each, created when the
// package is loaded and deleted when it is unloaded; GLO hands them out in menu order.
#include "ExponentialNoise.h"
#include "GaussianNoise.h"
#include "ImpulseGaussianNoise.h"
#include "PepperNoise.h"
#include "RandomValuedNoise.h"
#include "RayleighNoise.h"
#include "SaltAndPepperNoise.h"
#include "SaltNoise.h"
#include "SimpleSpeckleNoise.h"
#include "kvOperations/cOperationPool.h"

namespace {
struct sPackage {
  GaussianNoise Gaussian;
  ExponentialNoise Exponential;
  RayleighNoise Rayleigh;
  SimpleSpeckleNoise Speckle;
  SaltAndPepperNoise SaltAndPepper;
  SaltNoise Salt;
  PepperNoise Pepper;
  RandomValuedNoise RandomValued;
  ImpulseGaussianNoise ImpulseGaussian;
};
sPackage Package;
}  // namespace

extern "C" void GLO(tOperationsList& list)
{
  list.push_back(&Package.Gaussian);
  list.push_back(&Package.Exponential);
  list.push_back(&Package.Rayleigh);
  list.push_back(&Package.Speckle);
  list.push_back(&Package.SaltAndPepper);
  list.push_back(&Package.Salt);
  list.push_back(&Package.Pepper);
  list.push_back(&Package.RandomValued);
  list.push_back(&Package.ImpulseGaussian);
}
