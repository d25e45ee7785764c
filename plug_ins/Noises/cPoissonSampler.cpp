#include "cPoissonSampler.h"

#include <cmath>

cPoissonSampler::cPoissonSampler(double mean) : Mean(mean > 0.0 ? mean : 0.0)
{
  if (Mean < RejectionFrom) {
    Zero = std::exp(-Mean);
    return;
  }
  LogMean = std::log(Mean);
  B = 0.931 + 2.53 * std::sqrt(Mean);
  A = -0.059 + 0.02483 * B;
  LogInverseAlpha = std::log(1.1239 + 1.1328 / (B - 3.4));
  AcceptBelow = 0.9277 - 3.6224 / (B - 2.0);
}

unsigned cPoissonSampler::Draw(cRandomBatch& rnd) const
{
  return Mean < RejectionFrom ? DrawBySearch(rnd) : DrawByRejection(rnd);
}

unsigned cPoissonSampler::DrawBySearch(cRandomBatch& rnd) const
{
  const double u = rnd.Unit();
  unsigned k = 0;
  double p = Zero, sum = Zero;
  // The sum may settle a rounding short of 1 under a uniform closer to 1 than that: the
  // search then ends when the terms underflow.
  while (u >= sum && p > 0.0) {
    ++k;
    p *= Mean / k;
    sum += p;
  }
  return k;
}

unsigned cPoissonSampler::DrawByRejection(cRandomBatch& rnd) const
{
  for (;;) {
    const double u = rnd.Unit() - 0.5;
    const double v = rnd.Unit();
    const double us = 0.5 - std::abs(u);
    const double k = std::floor((2.0 * A / us + B) * u + Mean + 0.43);
    // The squeeze: most pairs are accepted without a logarithm.
    if (us >= 0.07 && v <= AcceptBelow) return unsigned(k);
    if (!(k >= 0.0) || (us < 0.013 && v > us)) continue;
    int sign;
    const double logFactorial = lgamma_r(k + 1.0, &sign);  // the reentrant form: rows may run on several threads
    if (std::log(v) + LogInverseAlpha - std::log(A / (us * us) + B) <= -Mean + k * LogMean - logFactorial)
      return unsigned(k);
  }
}
