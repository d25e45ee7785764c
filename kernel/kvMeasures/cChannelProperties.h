#pragma once
// Statistics of one channel of a picture: histogram, MSE against the origin, the windowed
// quality indices IQ, IQHVS and SSIM, and the Fourier spectrum for the spectrum view.
#include <atomic>

#include "kvPixels/cBMPSurface.h"

// The three windowed quality indices computed on background threads.
enum eQualityIndex { qiIQ = 0, qiIQHVS = 1, qiSSIM = 2 };

// The settings of the windowed indices, read once when a computation starts.
struct sQualitySettings {
  int WindowWidth = 5;
  int WindowHeight = 5;
  double K1 = 0.01;
  double K2 = 0.03;
  static sQualitySettings FromGlobals();
};

class cChannelProperties {
public:
  cChannelProperties();
  ~cChannelProperties();
  cChannelProperties(const cChannelProperties&) = delete;
  cChannelProperties& operator=(const cChannelProperties&) = delete;

  void SetChannel(int index, cBMPSurface* surface);
  void Reset();
  // Histogram and MSE against originSurface (which may be the image surface itself), then
  // IQHVS, computed here on the calling thread.
  void CalculateProperties(cBMPSurface* originSurface);
  // Compute the index between the image surface and the origin surface, store and return it.
  double CalculateIQ();
  double CalculateIQHVS();
  double CalculateSSIM();
  double Calculate(eQualityIndex kind);
  // Stores a value computed elsewhere (by a background computation).
  void StoreIndex(eQualityIndex kind, double value);

  // 2-D real-to-complex transform: Height rows of (Width / 2 + 1) complex values, each stored
  // as (re, im), row-major; zero frequency moved to the centre.
  void PrepareSpectrum();
  void FreeSpectrum();
  bool HasSpectrum() const { return SpectrumReady; }
  const double* GetSpectrum() const { return Spectrum; }

  const int* GetHistogram() const { return Histogram; }
  double GetMSE() const { return MSE; }
  double GetIQ() const { return IQ; }
  double GetIQHVS() const { return IQHVS; }
  double GetSSIM() const { return SSIM; }
  int GetChannelIndex() const { return ChannelIndex; }
  cBMPSurface* GetImageSurface() const { return ImageSurface; }
  cBMPSurface* GetOriginSurface() const { return OriginSurface; }
  void SetOriginSurface(cBMPSurface* origin) { OriginSurface = origin; }

  // The computations themselves, free of the members so that background threads can run them
  // on inputs taken on the main thread. origin == nullptr: no origin. stop ends them early
  // (their result is then meaningless and is discarded by the caller).
  static double ComputeIQ(cBMPSurface* image, cBMPSurface* origin, int channel, const sQualitySettings& settings,
                          const std::atomic<bool>* stop = nullptr);
  static double ComputeSSIM(const cBMPSurface* image, const cBMPSurface* origin, int channel,
                            const sQualitySettings& settings, const std::atomic<bool>* stop = nullptr);
  static double ComputeIQHVS(const cBMPSurface* image, const cBMPSurface* origin, int channel,
                             const sQualitySettings& settings, const std::atomic<bool>* stop = nullptr);
  static double Compute(eQualityIndex kind, cBMPSurface* image, cBMPSurface* origin, int channel,
                        const sQualitySettings& settings, const std::atomic<bool>* stop = nullptr);

  // Mean over the pixels of the window index of IQ on two real planes, with the symmetric
  // border rule of the subbands (used by IQHVS).
  static double PlaneIQ(const double* measured, const double* origin, int width, int height, int windowWidth,
                        int windowHeight, const std::atomic<bool>* stop = nullptr);

private:
  double* Spectrum = nullptr;
  int Histogram[256] = {};
  double MSE = 0.0;
  double IQ = 1.0;
  double IQHVS = 1.0;
  double SSIM = 1.0;
  int ChannelIndex = -1;
  bool SpectrumReady = false;
  cBMPSurface* ImageSurface = nullptr;
  cBMPSurface* OriginSurface = nullptr;
};
