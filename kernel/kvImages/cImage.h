#pragma once
// One picture of the history: a surface plus title, production time, progress of the
// operation writing into it, the region that operation processes, and its link to the picture it
// is measured against. What is measured of it lives in its cImageMeasures.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kvMeasures/cImageMeasures.h"
#include "kvPixels/cBMPSurface.h"

// Picture file formats.
enum ePictureFormat { pfUnknown = 0, pfBMP, pfJPEG, pfPNG, pfTIFF };

class cImage {
public:
  cImage();
  ~cImage();
  cImage(const cImage&) = delete;
  cImage& operator=(const cImage&) = delete;

  // ".BMP", ".JPG", ".PNG", ".TIF" or ".TIFF" (compared case-insensitively), else pfUnknown.
  static ePictureFormat FormatOfName(const std::string& fileName);
  // The format a file's first bytes announce: "BM", FF D8 FF, the PNG signature, "II*\0" or
  // "MM\0*"; pfUnknown for anything else and for a file that cannot be read.
  static ePictureFormat FormatOfContent(const std::string& fileName);
  // Loads a BMP, JPEG, PNG or TIFF file, whatever its name, by the reader its first bytes
  // call for. Returns whether a picture was loaded; on false the image is left exactly as it
  // was and GetLoadError tells why. When an alpha channel was dropped the title says so.
  bool LoadImage(const std::string& fileName);
  bool LoadBMP(const std::string& fileName);
  bool LoadJPEG(const std::string& fileName);
  bool LoadPNG(const std::string& fileName);
  bool LoadTIFF(const std::string& fileName);
  // After a failed load: why, as a sentence for the user (the picture is larger than the pixel
  // limit of the global parameters, of a kind the reader does not take, or damaged, and how).
  // Cleared by every load.
  const std::string& GetLoadError() const { return LoadError; }
  // The text of that reason.
  static std::string TooManyPixelsText(uint64_t width, uint64_t height, uint64_t limit);
  // Writes a PNG file for a ".png" name, else a BMP file whatever the extension; false when
  // there was nothing to save or the file could not be written (nothing is left behind).
  bool SaveImage(const std::string& fileName);
  // Writes the format given (pfPNG, else BMP), whatever the name says.
  bool SaveImage(const std::string& fileName, ePictureFormat format);

  void SetSize(int width, int height, int channels);
  void MakeCopyFrom(const cImage& other);
  void DeleteEverything();

  int GetWidth() const { return itsBI ? itsBI->GetWidth() : 0; }
  int GetHeight() const { return itsBI ? itsBI->GetHeight() : 0; }
  int GetChannelsCount() const { return itsBI ? itsBI->GetChannelsCount() : 0; }
  int GetSelectedChannel() const { return itsBI ? itsBI->GetSelectedChannel() : -1; }
  void SetSelectedChannel(int channel);
  sAccessInfo GetAccessInfo();

  // The pixels; absent after DeleteEverything.
  cBMPSurface* GetSurface() { return itsBI.get(); }
  const cBMPSurface* GetSurface() const { return itsBI.get(); }

  // Who hears of changes the image makes by itself (a background index arrived); installed by
  // the processing server, runs on the main thread.
  static void SetChangeListener(std::function<void()> listener);

  // --- Measures against an origin and the spectrum ---
  cImageMeasures& GetMeasures() { return *Measures; }
  // One statistics object per channel of the current surface.
  void CreateChannelProperties();
  int GetChannelPropertiesCount() const { return Measures->GetChannelPropertiesCount(); }
  cChannelProperties* GetChannelProperties(int channel) { return Measures->GetChannelProperties(channel); }
  // Measures this image against origin (nullptr: against itself): channel MSE, MSE, PSNR.
  void CalculateProperties(cImage* origin);
  void PrepareHistogram();
  const int* GetHistogram() const { return Measures->GetHistogram(); }
  // The spectrum picture (kept by the image), or nullptr for an image without pixels.
  cBMPSurface* GetSpectrumBI(SpectrumType type, double scale);
  void RemoveFFT();
  // "MSE", "PSNR", "IQ", "IQHVS", "SSIM", "Time", "Noise sigma", "Request": the texts the windows show.
  // Asking for a windowed index that is not valid starts its background computation.
  std::string GetMeasureStr(const std::string& name);
  // Stops running index computations and makes the three indices pending again.
  void RemoveIQ();
  double GetMSE() const { return Measures->GetMSE(); }
  double GetPSNR() const { return Measures->GetPSNR(); }
  // The picture's own noise level in grey levels (mean over channels), computed on each call.
  double GetNoiseSigma() const;
  bool IsIndexValid(eQualityIndex kind) const { return Measures->IsIndexValid(kind); }
  bool IsIndexRunning(eQualityIndex kind) const { return Measures->IsIndexRunning(kind); }
  double GetIndexValue(eQualityIndex kind) const { return Measures->GetIndexValue(kind); }
  // Computes the index on the calling thread (the analyzer's criterion) and stores it as valid.
  double CalculateIndexNow(eQualityIndex kind);
  cImage* GetOrigin() const { return Origin; }
  // False when the last origin had another size or channel count than this image: the
  // measures are then not defined ("n/a").
  bool IsComparable() const { return Measures->IsComparable(); }

  const std::string& GetTitle() const { return Title; }
  void SetTitle(const std::string& title) { Title = title; }
  // How long the run that made this picture (or its loading) took, in whole milliseconds as the
  // "Time" text shows it.
  uint32_t GetTime() const { return uint32_t(TimeMicroseconds / 1000); }
  void SetTime(uint32_t milliseconds) { TimeMicroseconds = uint64_t(milliseconds) * 1000; }
  // The same at the clock's resolution, for tables and exports: fast runs take a few milliseconds.
  uint64_t GetTimeMicroseconds() const { return TimeMicroseconds; }
  void SetTimeMicroseconds(uint64_t microseconds) { TimeMicroseconds = microseconds; }

  // The region the next operation writing into this image processes: the whole picture, or
  // the rectangle (right and bottom exclusive). A run takes it once, when its images are bound
  // (acOperation::SetInterfaces), and never reads these again; the server's result image is
  // set through the facade's SetProcessingRegion, which first settles a running worker.
  bool IsWholeImage() const { return WholeImage; }
  const sRect& GetProcessingRect() const { return ProcessingRect; }
  void SetWholeImage(bool wholeImage) { WholeImage = wholeImage; }
  void SetProcessingRect(const sRect& rect) { ProcessingRect = rect; }

  // Progress 0..100 of the operation writing into this image; written by the worker thread,
  // read by the main thread's timer.
  std::atomic<int> PercentDone{0};

private:
  // Installs a decoded surface and the load title; shared by the readers.
  void AcceptLoaded(std::unique_ptr<cBMPSurface> surface);
  // Records the reason of a refusal the report tells of.
  void NoteRefusal(const sLoadReport& report);
  // Runs one of the readers on a fresh surface and installs it on success.
  bool LoadWith(bool (*reader)(const std::string&, cBMPSurface&, uint64_t, sLoadReport&), const std::string& fileName);
  // Makes the channel statistics match the surface (operations may resize it directly).
  void EnsureChannelProperties();
  void ResetMeasures();
  // The origin is being deleted.
  void ForgetOrigin();
  // Makes origin this image's origin, and this image one of those measured against it.
  void LinkOrigin(cImage* origin);
  // Stops and waits for every background computation reading this image's pixels, also those
  // of images measured against it; their results are dropped.
  void StopComputationsReading();
  // This image's pixels and those it is compared with now.
  sMeasuredSurfaces Surfaces();

  sRect ProcessingRect;
  bool WholeImage = true;
  cImage* Origin = nullptr;
  // The images whose origin this one is: they forget it when it goes.
  std::vector<cImage*> MeasuredAgainstThis;
  uint64_t TimeMicroseconds = 0;
  std::string Title = "empty";
  std::string LoadError;
  // Whether the last load dropped an alpha channel.
  bool AlphaDropped = false;
  std::unique_ptr<cBMPSurface> itsBI;
  // After the pixels, so that it goes first: its computations read them.
  std::unique_ptr<cImageMeasures> Measures;
};
