#pragma once
// Pictures that show how two pictures of one geometry differ: the per-channel difference, the
// local SSIM map and the squared-error map (viridis colours with a labelled colour bar), and the
// pair side by side. The desktop program and the command line draw them here, so they write the
// same pictures.
#include <atomic>
#include <string>
#include <vector>

#include "kvMeasures/cChannelProperties.h"
#include "kvPixels/cBMPSurface.h"

struct sDifferenceOptions {
  int Gain = 4;         // 1 .. MaxGain
  bool Signed = false;  // B - A around mid-grey instead of |B - A|
  bool Grey = false;    // a colour difference as the mean over its channels
};

// A per-pixel quality value (the mean over the channels) with the range its colours span.
struct sQualityMap {
  int Width = 0;
  int Height = 0;
  std::vector<double> Values;  // row-major
  // SSIM map: the picture's SSIM as the measures compute it; error map: the MSE.
  double Mean = 0.0;
  double Low = 0.0;
  double High = 1.0;
};

class cPictureComparison {
public:
  static constexpr int MaxGain = 64;
  // Blank columns between the two pictures of a pair and between a map and its colour bar.
  static constexpr int Gap = 8;
  static constexpr int BarWidth = 16;

  static bool SameGeometry(const cBMPSurface& a, const cBMPSurface& b);
  // "256 x 256 grey" / "512 x 480 colour".
  static std::string GeometryText(const cBMPSurface& s);

  // |B - A| (or 128 + B - A) per channel, times the gain, clamped to 0..255.
  static void Difference(const cBMPSurface& a, const cBMPSurface& b, const sDifferenceOptions& options,
                         cBMPSurface& out);
  // The window SSIM of B against A at every pixel, as the SSIM measure computes it, on the
  // kernel's worker threads; colours span 0 .. 1 (negative values take the colour of 0). False
  // when stopped (the map is then incomplete).
  static bool SSIMMap(const cBMPSurface& a, const cBMPSurface& b, const sQualitySettings& settings, sQualityMap& map,
                      const std::atomic<bool>* stop = nullptr);
  // (B - A)^2 at every pixel (the mean over the channels); colours span 0 .. the 99th percentile.
  static void SquaredErrorMap(const cBMPSurface& a, const cBMPSurface& b, sQualityMap& map);

  // The viridis colour of t in 0..1 (clamped), as red, green, blue.
  static void Viridis(double t, uint8_t rgb[3]);
  // The map in viridis colours, one pixel per value.
  static void RenderMap(const sQualityMap& map, cBMPSurface& out);
  // The colour bar (High at the top) with its labels, height pixels high, on white.
  static void RenderColourBar(const sQualityMap& map, int height, cBMPSurface& out);
  // The map, a gap and its colour bar: what "Save view..." and the command line write.
  static void RenderMapWithBar(const sQualityMap& map, cBMPSurface& out);
  // A, a gap and B in one picture (colour when either is).
  static void SideBySide(const cBMPSurface& a, const cBMPSurface& b, cBMPSurface& out);
};
