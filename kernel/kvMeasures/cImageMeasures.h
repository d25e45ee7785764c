#pragma once
// What is known of a picture besides its pixels: one cChannelProperties per channel, the
// image-level MSE, PSNR and windowed indices against an origin, the display histogram and the
// spectrum picture. The windowed indices are computed lazily on background threads.
//
// The measures know surfaces, not images: their owner (cImage) hands over the surface it
// measures and the one it is compared with on every call that needs them, so that both can
// change between calls (a new load, an origin that went away).
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "kvMeasures/cChannelProperties.h"

class TIQThread;

// Spectrum picture kinds.
enum SpectrumType { stMagnitude = 0, stPhase = 1 };

// The surface measured and the surface it is compared with now (its origin's, or itself when it
// has none; nullptr when there is nothing to compare with).
struct sMeasuredSurfaces {
  cBMPSurface* Image = nullptr;
  cBMPSurface* Reference = nullptr;
};

class cImageMeasures {
public:
  // changed runs on the main thread whenever a background index has arrived.
  explicit cImageMeasures(std::function<void()> changed);
  ~cImageMeasures();
  cImageMeasures(const cImageMeasures&) = delete;
  cImageMeasures& operator=(const cImageMeasures&) = delete;

  // Fixed point with two decimals, rounded to five significant digits; large values in
  // scientific notation; "NAN", "INF", "-INF".
  static std::string FormatReal(double value);
  static double PSNRFromMSE(double mse);

  // Stops and waits for every background computation that reads surface, as measured picture
  // or as origin; their results are dropped and their indices stay not valid.
  static void StopComputationsReading(const cBMPSurface* surface);

  // One statistics object per channel of surface (none for nullptr).
  void CreateChannelProperties(cBMPSurface* surface);
  // The same, only when the channels no longer describe surface (operations may resize it).
  void EnsureChannelProperties(cBMPSurface* surface);
  int GetChannelPropertiesCount() const { return int(Channels.size()); }
  cChannelProperties* GetChannelProperties(int channel) { return Channels.at(size_t(channel)).get(); }
  // Forgets the channels and the spectrum picture (the pixels are about to go).
  void DropChannels();
  // Back to "not measured"; the channels stay.
  void Reset();
  // The origin went away: what was measured against it is not defined any more.
  void ForgetOrigin();

  // Channel MSE, MSE and PSNR against surfaces.Reference. originChanged: computations running
  // against the previous origin are stopped, their results would be stale.
  void Calculate(const sMeasuredSurfaces& surfaces, bool originChanged);
  void PrepareHistogram(cBMPSurface* surface, int selectedChannel);
  const int* GetHistogram() const { return Histogram; }
  cBMPSurface* GetSpectrumBI(cBMPSurface* surface, SpectrumType type, double scale);
  void RemoveFFT();

  // "MSE", "PSNR", "IQ", "IQHVS", "SSIM": the texts the windows show; asking for a windowed
  // index that is not valid starts its background computation. Empty for other names.
  std::string GetIndexStr(const std::string& name, const sMeasuredSurfaces& surfaces);
  void RemoveIQ();
  double GetMSE() const { return MSE; }
  double GetPSNR() const { return PSNR; }
  bool IsComparable() const { return !OriginMismatch; }
  bool IsIndexValid(eQualityIndex kind) const { return Valid[kind]; }
  bool IsIndexRunning(eQualityIndex kind) const { return Running[kind]; }
  double GetIndexValue(eQualityIndex kind) const { return Index[kind]; }
  // Computes the index on the calling thread and stores it as valid.
  double CalculateIndexNow(eQualityIndex kind, const sMeasuredSurfaces& surfaces);

private:
  // Drops this picture's computation of kind (waits for it); the index stays not valid.
  void AbandonIndex(eQualityIndex kind);
  // Points every channel at the surface it is compared with now.
  void RefreshOriginSurfaces(const sMeasuredSurfaces& surfaces);
  void StartIndex(eQualityIndex kind, const sMeasuredSurfaces& surfaces);
  void IndexCalculated(TIQThread& sender);
  double ChannelMeanMSE() const;

  std::function<void()> Changed;
  std::unique_ptr<cBMPSurface> SpectrumBI;
  bool Measured = false;
  bool OriginMismatch = false;
  bool Valid[3] = {false, false, false};
  bool Running[3] = {false, false, false};
  std::unique_ptr<TIQThread> Threads[3];
  std::vector<std::unique_ptr<cChannelProperties>> Channels;
  int Histogram[256] = {};
  double MSE = 0.0;
  double PSNR = std::numeric_limits<double>::infinity();
  // IQ, IQHVS, SSIM by eQualityIndex.
  double Index[3] = {1.0, 1.0, 1.0};
};
