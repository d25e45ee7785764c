#include "kvImages/cImage.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "kvFiles/cJpegCodec.h"
#include "kvFiles/cPngFile.h"
#include "kvFiles/cTiffFile.h"
#include "kvMessages/cUserDialogs.h"
#include "kvRuntime/cuGlobalParameters.h"
#include "kvRuntime/kvDiagnostics.h"
#include "kvWavelet/kvNoiseSigma.h"

KV_UNIT("kvKernel_bpl\\kvImages\\cImage");

namespace {

std::string UpperExtension(const std::string& fileName)
{
  std::string ext = std::filesystem::path(fileName).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return ext;
}

}  // namespace

namespace {
// Guards the links between images and their origins: images are made and deleted on the
// threads that run operations as well as on the main thread.
std::mutex OriginLinksLock;

std::function<void()>& ChangeListener()
{
  static std::function<void()> listener;
  return listener;
}
}  // namespace

void cImage::SetChangeListener(std::function<void()> listener)
{
  ChangeListener() = std::move(listener);
}

cImage::cImage()
    : itsBI(std::make_unique<cBMPSurface>()), Measures(std::make_unique<cImageMeasures>([] {
        if (ChangeListener()) ChangeListener()();
      }))
{}

cImage::~cImage()
{
  DeleteEverything();
  std::lock_guard<std::mutex> guard(OriginLinksLock);
  for (cImage* image : MeasuredAgainstThis) image->ForgetOrigin();
  if (Origin) std::erase(Origin->MeasuredAgainstThis, this);
}

void cImage::LinkOrigin(cImage* origin)
{
  std::lock_guard<std::mutex> guard(OriginLinksLock);
  if (Origin == origin) return;
  if (Origin) std::erase(Origin->MeasuredAgainstThis, this);
  Origin = origin;
  if (Origin) Origin->MeasuredAgainstThis.push_back(this);
}

void cImage::ForgetOrigin()
{
  Origin = nullptr;
  Measures->ForgetOrigin();
}

void cImage::DeleteEverything()
{
  // Background computations read the pixels until they end: stop them first.
  StopComputationsReading();
  Measures->DropChannels();
  itsBI.reset();
  ResetMeasures();
}

void cImage::AcceptLoaded(std::unique_ptr<cBMPSurface> surface)
{
  DeleteEverything();
  itsBI = std::move(surface);
  CreateChannelProperties();
}

ePictureFormat cImage::FormatOfName(const std::string& fileName)
{
  const std::string ext = UpperExtension(fileName);
  if (ext == ".BMP") return pfBMP;
  if (ext == ".JPG") return pfJPEG;
  if (ext == ".PNG") return pfPNG;
  if (ext == ".TIF" || ext == ".TIFF") return pfTIFF;
  return pfUnknown;
}

namespace {

const char* FormatName(ePictureFormat format)
{
  switch (format) {
    case pfBMP: return "BMP";
    case pfJPEG: return "JPEG";
    case pfPNG: return "PNG";
    case pfTIFF: return "TIFF";
    default: return "picture";
  }
}

// Why a file of no known signature is refused.
std::string NotAPictureText(const std::string& fileName)
{
  std::error_code error;
  if (std::filesystem::is_directory(fileName, error)) return "It is a folder, not a file.";
  const uintmax_t size = std::filesystem::file_size(fileName, error);
  if (error) return "The file cannot be opened.";
  if (size == 0) return "The file is empty.";
  return "The file is none of the formats tried (BMP, JPEG, PNG and TIFF): it does not start with their "
         "signatures.";
}

}  // namespace

ePictureFormat cImage::FormatOfContent(const std::string& fileName)
{
  uint8_t head[8] = {};
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  if (!file) return pfUnknown;
  const size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  static constexpr uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (got >= 2 && head[0] == 'B' && head[1] == 'M') return pfBMP;
  if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return pfJPEG;
  if (got >= 8 && std::memcmp(head, png, 8) == 0) return pfPNG;
  if (got >= 4 && ((head[0] == 'I' && head[1] == 'I' && head[2] == 42 && head[3] == 0) ||
                   (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && head[3] == 42)))
    return pfTIFF;
  return pfUnknown;
}

bool cImage::LoadImage(const std::string& fileName)
{
  LoadError.clear();
  const uint64_t started = kvMicrosecondCount();
  bool loaded = false;
  const ePictureFormat format = FormatOfContent(fileName);
  switch (format) {
    case pfJPEG: loaded = LoadJPEG(fileName); break;
    case pfBMP: loaded = LoadBMP(fileName); break;
    case pfPNG: loaded = LoadPNG(fileName); break;
    case pfTIFF: loaded = LoadTIFF(fileName); break;
    default: LoadError = NotAPictureText(fileName); break;
  }
  if (!loaded) {
    // Every refusal says why; a reader that could not tell has at least said the format.
    if (LoadError.empty()) LoadError = std::string("The ") + FormatName(format) + " file is damaged or cut short.";
    return false;
  }
  // The title goes wherever the picture's history goes, so a dropped alpha is never silent.
  Title =
      "Load '" + std::filesystem::path(fileName).filename().string() + "'" + (AlphaDropped ? " (alpha dropped)" : "");
  TimeMicroseconds = kvMicrosecondCount() - started;
  return true;
}

namespace {
uint64_t PixelLimit()
{
  return GlobalParams ? GlobalParams->GetMaxPixels() : cuGlobalParameters::DefaultMaxPixels;
}
}  // namespace

std::string cImage::TooManyPixelsText(uint64_t width, uint64_t height, uint64_t limit)
{
  return "The picture is " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels, more than the limit of " + std::to_string(limit) +
         " pixels; the limit is set with kvadra --max-pixels or in the preferences.";
}

void cImage::NoteRefusal(const sLoadReport& report)
{
  LoadError = report.TooManyPixels          ? TooManyPixelsText(report.Width, report.Height, PixelLimit())
              : !report.Unsupported.empty() ? report.Unsupported
                                            : report.Damage;
}

bool cImage::LoadWith(bool (*reader)(const std::string&, cBMPSurface&, uint64_t, sLoadReport&),
                      const std::string& fileName)
{
  LoadError.clear();
  auto surface = std::make_unique<cBMPSurface>();
  sLoadReport report;
  if (!reader(fileName, *surface, PixelLimit(), report)) {
    NoteRefusal(report);
    return false;
  }
  AcceptLoaded(std::move(surface));
  AlphaDropped = report.AlphaDropped;
  return true;
}

bool cImage::LoadPNG(const std::string& fileName)
{
  return LoadWith(cPngFile::Load, fileName);
}

bool cImage::LoadTIFF(const std::string& fileName)
{
  return LoadWith(cTiffFile::Load, fileName);
}

bool cImage::LoadBMP(const std::string& fileName)
{
  return LoadWith([](const std::string& name, cBMPSurface& surface, uint64_t maxPixels,
                     sLoadReport& report) { return surface.LoadImage(name, maxPixels, &report); },
                  fileName);
}

bool cImage::LoadJPEG(const std::string& fileName)
{
  return LoadWith(
      [](const std::string& name, cBMPSurface& surface, uint64_t maxPixels, sLoadReport& report) {
        std::FILE* file = std::fopen(name.c_str(), "rb");
        if (!file) {
          report.Damage = "The file cannot be opened.";
          return false;
        }
        const bool decoded = cJpegCodec::Decode(file, surface, maxPixels, report);
        std::fclose(file);
        return decoded;
      },
      fileName);
}

bool cImage::SaveImage(const std::string& fileName)
{
  return SaveImage(fileName, FormatOfName(fileName) == pfPNG ? pfPNG : pfBMP);
}

bool cImage::SaveImage(const std::string& fileName, ePictureFormat format)
{
  // A 0 x 0 surface is nothing either: its file could not be read back as a picture.
  if (!itsBI || itsBI->GetWidth() == 0 || itsBI->GetHeight() == 0) {
    cUserDialogs::ShowMessage("KVImage::SaveImage() Nothing to Save!");
    return false;
  }
  return format == pfPNG ? cPngFile::Save(*itsBI, fileName) : itsBI->SaveVisibleImage(fileName);
}

void cImage::SetSize(int width, int height, int channels)
{
  // While the pixels are still this image's: computations reading them must stop first.
  StopComputationsReading();
  // The surface object is kept so that operations holding it stay valid.
  std::unique_ptr<cBMPSurface> surface = std::move(itsBI);
  DeleteEverything();
  itsBI = surface ? std::move(surface) : std::make_unique<cBMPSurface>();
  itsBI->SetSize(width, height, channels);
  CreateChannelProperties();
}

void cImage::MakeCopyFrom(const cImage& other)
{
  if (&other == this) return;
  StopComputationsReading();
  Measures->DropChannels();
  if (!itsBI) itsBI = std::make_unique<cBMPSurface>();
  if (other.itsBI)
    itsBI->MakeCopyFrom(*other.itsBI);
  else
    itsBI->SetSize(0, 0, 3);
  ResetMeasures();
  CreateChannelProperties();
}

void cImage::SetSelectedChannel(int channel)
{
  if (itsBI && channel >= -1 && channel < itsBI->GetChannelsCount()) {
    itsBI->SetSelectedChannel(channel);
    return;
  }
  cUserDialogs::ShowMessage("Can not select that channel! KVImage::SetSelectedChannel");
}

sAccessInfo cImage::GetAccessInfo()
{
  KV_ASSERT(itsBI != nullptr, "itsBI != NULL");
  return itsBI->GetAccessInfo();
}

// --- Measures against an origin and the spectrum ---

sMeasuredSurfaces cImage::Surfaces()
{
  return {itsBI.get(), Origin ? Origin->GetSurface() : itsBI.get()};
}

void cImage::CreateChannelProperties()
{
  Measures->CreateChannelProperties(itsBI.get());
}

void cImage::EnsureChannelProperties()
{
  Measures->EnsureChannelProperties(itsBI.get());
}

void cImage::ResetMeasures()
{
  LinkOrigin(nullptr);
  Measures->Reset();
}

void cImage::StopComputationsReading()
{
  cImageMeasures::StopComputationsReading(itsBI.get());
}

void cImage::CalculateProperties(cImage* origin)
{
  const bool originChanged = origin != Origin;
  LinkOrigin(origin);
  Measures->Calculate(Surfaces(), originChanged);
}

void cImage::PrepareHistogram()
{
  Measures->PrepareHistogram(itsBI.get(), GetSelectedChannel());
}

cBMPSurface* cImage::GetSpectrumBI(SpectrumType type, double scale)
{
  return Measures->GetSpectrumBI(itsBI.get(), type, scale);
}

void cImage::RemoveFFT()
{
  Measures->RemoveFFT();
}

std::string cImage::GetMeasureStr(const std::string& name)
{
  if (name == "Request") return "MSE#PSNR#IQ#Time";
  if (std::string text = Measures->GetIndexStr(name, Surfaces()); !text.empty()) return text;
  if (name == "Time") {
    const unsigned unit = GlobalParams ? GlobalParams->TimeUnit : 1;
    if (unit == 0) return cImageMeasures::FormatReal(GetTime() * 0.001) + " s";
    if (unit == 1) return std::to_string(GetTime()) + " ms";
    return "";
  }
  if (name == "IJQ") return "error!";
  if (name == "Noise sigma")
    return itsBI && GetWidth() > 0 && GetHeight() > 0 ? cImageMeasures::FormatReal(GetNoiseSigma()) : "n/a";
  return "n/a";
}

double cImage::GetNoiseSigma() const
{
  return itsBI ? kvNoiseSigma(*itsBI) : 0.0;
}

void cImage::RemoveIQ()
{
  Measures->RemoveIQ();
}

double cImage::CalculateIndexNow(eQualityIndex kind)
{
  return Measures->CalculateIndexNow(kind, Surfaces());
}
