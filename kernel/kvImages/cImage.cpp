#include "kvImages/cImage.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "cuGlobalParameters.h"
#include "kvDiagnostics.h"
#include "kvImages/cJpegCodec.h"
#include "kvImages/cPictureComparison.h"
#include "kvImages/cPngFile.h"
#include "kvImages/cTiffFile.h"
#include "kvImages/vclIQThread.h"
#include "kvMessages/cMessenger.h"
#include "kvMessages/cUserDialogs.h"
#include "kvProcessing/cKvadraServerMessenger.h"
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
}  // namespace

cImage::cImage() : itsBI(std::make_unique<cBMPSurface>()) {}

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
  // Its measures referred to pixels that no longer exist.
  Origin = nullptr;
  OriginMismatch = true;
  for (auto& channel : Channels) channel->SetOriginSurface(nullptr);
}

void cImage::DeleteEverything()
{
  // Background computations read the pixels until they end: stop them first.
  StopComputationsReading();
  Channels.clear();
  SpectrumBI.reset();
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
  Channels.clear();
  SpectrumBI.reset();
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

namespace {

// Fixed point with two decimals, rounded to five significant digits; values with more than
// five integer digits in scientific notation.
std::string FormatReal(double value)
{
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  char text[64];
  std::snprintf(text, sizeof text, "%.4E", value);
  const int exponent = std::atoi(std::strchr(text, 'E') + 1);
  if (exponent >= 5) return text;
  const int decimals = exponent >= 0 ? std::min(2, 4 - exponent) : 2;
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  std::string result = text;
  if (decimals == 0) result += ".";
  result.append(size_t(2 - decimals), '0');
  return result;
}

double PSNRFromMSE(double mse)
{
  if (std::isnan(mse)) return mse;
  return mse != 0 ? 10.0 * (std::log10(65025.0) - std::log10(mse)) : std::numeric_limits<double>::infinity();
}

uint8_t SpectrumLevel(double v)
{
  if (!(v > 0)) return 0;  // also NaN
  return v > 255 ? 255 : uint8_t(v);
}

}  // namespace

void cImage::CreateChannelProperties()
{
  Channels.clear();
  if (!itsBI) return;
  for (int i = 0; i < itsBI->GetChannelsCount(); ++i) {
    auto channel = std::make_unique<cChannelProperties>();
    channel->SetChannel(i, itsBI.get());
    Channels.push_back(std::move(channel));
  }
}

void cImage::EnsureChannelProperties()
{
  const int wanted = itsBI ? itsBI->GetChannelsCount() : 0;
  if (int(Channels.size()) == wanted && (Channels.empty() || Channels[0]->GetImageSurface() == itsBI.get())) return;
  StopComputationsReading();
  SpectrumBI.reset();
  CreateChannelProperties();
}

void cImage::ResetMeasures()
{
  LinkOrigin(nullptr);
  Measured = false;
  OriginMismatch = false;
  for (int k = 0; k < 3; ++k) {
    Valid[k] = false;
    Running[k] = false;
    Index[k] = 1.0;
  }
  for (int& count : Histogram) count = 0;
  MSE = 0.0;
  PSNR = std::numeric_limits<double>::infinity();
}

void cImage::StopComputationsReading()
{
  for (TIQThread* thread : TIQThread::ThreadsReading(this)) thread->GetImage()->AbandonIndex(thread->GetKind());
}

void cImage::AbandonIndex(eQualityIndex kind)
{
  Threads[kind].reset();
  Running[kind] = false;
}

void cImage::RefreshOriginSurfaces()
{
  cBMPSurface* reference = nullptr;
  if (Measured && !OriginMismatch) {
    reference = Origin ? Origin->GetSurface() : itsBI.get();
    if (reference && itsBI && !cPictureComparison::SameGeometry(*reference, *itsBI)) reference = nullptr;
  }
  for (auto& channel : Channels) channel->SetOriginSurface(reference);
}

void cImage::CalculateProperties(cImage* origin)
{
  EnsureChannelProperties();
  if (origin != Origin) {
    // Running computations compare with the previous origin; their results would be stale.
    for (auto& thread : Threads)
      if (thread) thread->Terminate();
  }
  LinkOrigin(origin);
  Measured = true;
  cBMPSurface* reference = origin ? origin->GetSurface() : itsBI.get();
  OriginMismatch = !reference || !itsBI || !cPictureComparison::SameGeometry(*reference, *itsBI);
  for (auto& channel : Channels) channel->CalculateProperties(OriginMismatch ? nullptr : reference);
  if (OriginMismatch) {
    MSE = std::numeric_limits<double>::quiet_NaN();
    PSNR = MSE;
    return;
  }
  MSE = ChannelMeanMSE();
  PSNR = PSNRFromMSE(MSE);
}

double cImage::ChannelMeanMSE() const
{
  if (Channels.empty()) return 0.0;
  double sum = 0.0;
  for (auto& channel : Channels) sum += channel->GetMSE();
  return sum / double(Channels.size());
}

void cImage::PrepareHistogram()
{
  EnsureChannelProperties();
  for (int& count : Histogram) count = 0;
  if (Channels.empty()) return;
  const int selected = GetSelectedChannel();
  if (selected >= 0 && selected < int(Channels.size())) {
    const int* source = Channels[size_t(selected)]->GetHistogram();
    std::copy(source, source + 256, Histogram);
    return;
  }
  const int count = int(Channels.size());
  for (int level = 0; level < 256; ++level) {
    int sum = 0;
    for (auto& channel : Channels) sum += channel->GetHistogram()[level];
    Histogram[level] = sum / count;
  }
}

cBMPSurface* cImage::GetSpectrumBI(SpectrumType type, double scale)
{
  const int w = GetWidth(), h = GetHeight();
  if (w == 0 || h == 0) return nullptr;
  EnsureChannelProperties();
  for (auto& channel : Channels)
    if (!channel->HasSpectrum()) channel->PrepareSpectrum();
  const int channels = itsBI->GetChannelsCount();
  if (!SpectrumBI) SpectrumBI = std::make_unique<cBMPSurface>();
  if (SpectrumBI->GetWidth() != w || SpectrumBI->GetHeight() != h || SpectrumBI->GetChannelsCount() != channels)
    SpectrumBI->SetSize(w, h, channels);

  const bool grey = channels == 1;
  const int columns = w / 2 + 1;
  for (int i = 0; i < channels; ++i) {
    const double* spectrum = Channels[size_t(i)]->GetSpectrum();
    SpectrumBI->CurrentChannel = i;
    auto put = [&](int x, int y, uint8_t v) { SpectrumBI->Row(y)[size_t(x) * size_t(channels) + size_t(i)] = v; };
    for (int r = 0; r < h; ++r) {
      for (int c = 0; c < columns; ++c) {
        const double re = spectrum[2 * (size_t(r) * size_t(columns) + size_t(c))];
        const double im = spectrum[2 * (size_t(r) * size_t(columns) + size_t(c)) + 1];
        double v;
        if (type == stPhase) {
          double phi = re == 0 ? M_PI : std::atan(im / re);
          if (phi < 0) phi += M_PI;
          v = std::trunc(scale * phi * 0.5 / M_PI * 25);
        } else if (grey) {
          v = std::trunc(std::log(1 + std::fabs(std::trunc(re)) + std::fabs(std::trunc(im))) * scale);
        } else {
          v = std::trunc(std::log(1 + std::trunc(std::sqrt(re * re + im * im))) * scale);
        }
        const uint8_t level = SpectrumLevel(v);
        put(c, r, level);
        // The other half of the picture is the conjugate-symmetric mirror.
        if (c != 0 && r == 0) put(w - c, 0, level);
        if (c != 0 && r != 0) put(w - c, h - r, level);
      }
    }
  }
  return SpectrumBI.get();
}

void cImage::RemoveFFT()
{
  SpectrumBI.reset();
  for (auto& channel : Channels) channel->FreeSpectrum();
}

std::string cImage::GetMeasureStr(const std::string& name)
{
  if (name == "Request") return "MSE#PSNR#IQ#Time";
  if (name == "MSE" || name == "PSNR") {
    if (OriginMismatch) return "n/a";
    const double mse = ChannelMeanMSE();
    return name == "MSE" ? FormatReal(mse) : FormatReal(PSNRFromMSE(mse)) + " dB";
  }
  if (name == "IQ" || name == "IQHVS" || name == "SSIM") {
    if (OriginMismatch) return "n/a";
    const eQualityIndex kind = name == "IQ" ? qiIQ : name == "IQHVS" ? qiIQHVS : qiSSIM;
    if (!Valid[kind] && !Running[kind]) StartIndex(kind);
    return Valid[kind] ? FormatReal(Index[kind]) : "wait";
  }
  if (name == "Time") {
    const unsigned unit = GlobalParams ? GlobalParams->TimeUnit : 1;
    if (unit == 0) return FormatReal(GetTime() * 0.001) + " s";
    if (unit == 1) return std::to_string(GetTime()) + " ms";
    return "";
  }
  if (name == "IJQ") return "error!";
  if (name == "Noise sigma") return itsBI && GetWidth() > 0 && GetHeight() > 0 ? FormatReal(GetNoiseSigma()) : "n/a";
  return "n/a";
}

double cImage::GetNoiseSigma() const
{
  return itsBI ? kvNoiseSigma(*itsBI) : 0.0;
}

void cImage::StartIndex(eQualityIndex kind)
{
  EnsureChannelProperties();
  iKernelHost* host = cMessenger::GetHost();
  // Without a host nothing could deliver a background completion: compute here instead.
  if (!host || Channels.empty()) {
    CalculateIndexNow(kind);
    return;
  }
  RefreshOriginSurfaces();
  Running[kind] = true;
  Threads[kind] = std::make_unique<TIQThread>(kind, *this);
  Threads[kind]->SetCompletion([this](TIQThread& sender) { IndexCalculated(sender); });
  Threads[kind]->Start(*host);
}

void cImage::IndexCalculated(TIQThread& sender)
{
  const eQualityIndex kind = sender.GetKind();
  if (Threads[kind].get() != &sender) return;
  const bool stopped = sender.IsStopped();
  if (!stopped) {
    Index[kind] = sender.GetResult();
    const std::vector<double>& values = sender.GetChannelResults();
    for (size_t i = 0; i < values.size() && i < Channels.size(); ++i) Channels[i]->StoreIndex(kind, values[i]);
  }
  Valid[kind] = !stopped;
  Running[kind] = false;
  Threads[kind].reset();  // sender is gone from here on
  cKvadraServerMessenger::PostHistoryChanged();
}

void cImage::RemoveIQ()
{
  for (int k = 0; k < 3; ++k) {
    if (Threads[k]) Threads[k]->Terminate();
    Valid[k] = false;
  }
}

bool cImage::IsIndexValid(eQualityIndex kind) const
{
  return Valid[kind];
}
bool cImage::IsIndexRunning(eQualityIndex kind) const
{
  return Running[kind];
}
double cImage::GetIndexValue(eQualityIndex kind) const
{
  return Index[kind];
}

double cImage::CalculateIndexNow(eQualityIndex kind)
{
  EnsureChannelProperties();
  RefreshOriginSurfaces();
  double sum = 0.0;
  for (auto& channel : Channels) sum += channel->Calculate(kind);
  Index[kind] = Channels.empty() ? 1.0 : sum / double(Channels.size());
  Valid[kind] = true;
  return Index[kind];
}
