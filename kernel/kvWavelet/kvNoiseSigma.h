#pragma once
// The standard deviation of additive Gaussian noise, estimated from the median absolute value
// of the finest diagonal wavelet subband (Donoho and Johnstone): a picture's fine diagonal
// detail is mostly noise, and the median ignores the few large coefficients of edges. The
// subband is that of the Daubechies 2 (4-tap) bank with symmetric extension, as scikit-image's
// estimate_sigma takes it, so the two agree.
#include <vector>

class cBMPSurface;

// In the units of the samples; 0 for a plane without any non-zero diagonal coefficient.
double kvNoiseSigmaOfPlane(const double* plane, int width, int height);
// The same estimate from a finest diagonal subband already at hand (of any orthogonal bank).
double kvNoiseSigmaOfDiagonal(const std::vector<double>& diagonal);
// One channel of a surface, in grey levels.
double kvNoiseSigmaOfChannel(const cBMPSurface& surface, int channel);
// Every channel's estimate, in channel order.
std::vector<double> kvNoiseSigmas(const cBMPSurface& surface);
// The mean of the channels' estimates; 0 for an empty surface.
double kvNoiseSigma(const cBMPSurface& surface);
