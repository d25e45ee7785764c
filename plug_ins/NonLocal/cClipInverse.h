#pragma once
// Gaussian noise on an 8-bit picture is clipped to 0..255, so near black and white a denoiser
// estimates the clipped noisy picture's expectation, not the picture: a black area comes out
// about 0.4 sigma grey. The expectation is a known increasing function of the true value
// (Foi, "Clipped noisy images: heteroskedastic modeling and practical denoising", 2009);
// inverting it maps the estimate back.
#include <vector>

class cClipInverse {
public:
  // For Gaussian noise of sigma (> 0) clipped to 0..top.
  explicit cClipInverse(double sigma, double top = 255.0);

  // The expectation of clip(y + sigma xi) for the true value y, xi standard normal.
  static double ClippedMean(double y, double sigma, double top);
  // The true value in 0..top whose clipped expectation is mean.
  float operator()(float mean) const;

private:
  double Top;
  // ClippedMean at true values Step apart from 0 to Top, increasing.
  std::vector<float> Means;
};
