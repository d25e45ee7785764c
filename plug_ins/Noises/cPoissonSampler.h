#pragma once
// Exact Poisson deviates of one mean from the uniform draws of a generator batch: below mean
// 10 by inversion (sequential search on one uniform), from 10 on by Hoermann's transformed
// rejection with squeeze (PTRS, 1993), about 2.3 uniforms a deviate whatever the mean. No
// normal approximation anywhere: photon counts keep their skew at every level.
#include "kvOperations/cRandomBatch.h"

class cPoissonSampler {
public:
  explicit cPoissonSampler(double mean = 0.0);
  unsigned Draw(cRandomBatch& rnd) const;
  double GetMean() const { return Mean; }

  // Where the rejection method takes over.
  static constexpr double RejectionFrom = 10.0;

private:
  unsigned DrawBySearch(cRandomBatch& rnd) const;
  unsigned DrawByRejection(cRandomBatch& rnd) const;

  double Mean;
  // Inversion: the probability of 0.
  double Zero = 1.0;
  // Rejection: the constants of PTRS for this mean.
  double LogMean = 0, A = 0, B = 0, LogInverseAlpha = 0, AcceptBelow = 0;
};
