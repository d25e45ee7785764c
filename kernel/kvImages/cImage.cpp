#include "cImage.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "cKvadraServerMessenger.h"
#include "cPngFile.h"
#include "cTiffFile.h"
#include "cMessenger.h"
#include "cUserDialogs.h"
#include "cuGlobalParameters.h"
#include "vclIQThread.h"
#include "kvDiagnostics.h"

namespace {


std::string UpperExtension(const std::string& fileName)
{
  std::string ext = std::filesystem::path(fileName).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::toupper(c)); });
  return ext;
}

// libjpeg ends the process on errors by default; this returns to the reader instead.
struct sJpegError {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
};

void JpegErrorExit(j_common_ptr info)
{
  auto* error = reinterpret_cast<sJpegError*>(info->err);
  std::longjmp(error->Jump, 1);
}

// Warnings that say image data is missing or invalid: libjpeg would fill the gap with flat
// grey (or decode what follows out of step) and report success, so they end the decoding as
// errors. Bytes skipped before a marker once a scan has begun are scan data the decoder did
// not use: it fell out of step with the data. Before the first scan they are noise around
// the data, as are an unknown JFIF revision or Adobe transform and a bad ICC marker, which
// real cameras write; those stay silent.
bool DamagedImageData(const jpeg_decompress_struct& info)
{
  switch (info.err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_BOGUS_PROGRESSION:
      return true;
    case JWRN_EXTRANEOUS_DATA:
      return info.input_scan_number > 0;
    default:
      return false;
  }
}

void JpegMessage(j_common_ptr info, int level)
{
  if (level < 0 && DamagedImageData(*reinterpret_cast<j_decompress_ptr>(info))) info->err->error_exit(info);
}

// Feeds libjpeg from the file in pieces smaller than one block's worth of data (512 bytes):
// libjpeg-turbo decodes in a fast path that passes over bad Huffman codes in silence
// whenever more is buffered, while its checked path warns of every one.
struct sCheckedSource {
  static constexpr size_t PieceSize = 256;
  jpeg_source_mgr Manager;
  std::FILE* File;
  JOCTET Piece[PieceSize];
};

void CheckedSourceInit(j_decompress_ptr) {}
void CheckedSourceTerm(j_decompress_ptr) {}

boolean CheckedSourceFill(j_decompress_ptr info)
{
  auto* source = reinterpret_cast<sCheckedSource*>(info->src);
  size_t count = std::fread(source->Piece, 1, sCheckedSource::PieceSize, source->File);
  if (count == 0) {
    WARNMS(info, JWRN_JPEG_EOF);  // ends the decoding (JpegMessage)
    source->Piece[0] = 0xFF;
    source->Piece[1] = JPEG_EOI;
    count = 2;
  }
  source->Manager.next_input_byte = source->Piece;
  source->Manager.bytes_in_buffer = count;
  return TRUE;
}

void CheckedSourceSkip(j_decompress_ptr info, long count)
{
  jpeg_source_mgr& manager = *info->src;
  while (count > long(manager.bytes_in_buffer)) {
    count -= long(manager.bytes_in_buffer);
    CheckedSourceFill(info);
  }
  if (count <= 0) return;
  manager.next_input_byte += count;
  manager.bytes_in_buffer -= size_t(count);
}

void UseCheckedSource(jpeg_decompress_struct& info, sCheckedSource& source, std::FILE* file)
{
  source.File = file;
  source.Manager.init_source = CheckedSourceInit;
  source.Manager.fill_input_buffer = CheckedSourceFill;
  source.Manager.skip_input_data = CheckedSourceSkip;
  source.Manager.resync_to_restart = jpeg_resync_to_restart;
  source.Manager.term_source = CheckedSourceTerm;
  source.Manager.bytes_in_buffer = 0;
  source.Manager.next_input_byte = nullptr;
  info.src = &source.Manager;
}

// A progressive file must have brought every coefficient of every component to full
// precision; one that ends after some of its scans is a picture with data missing.
bool ProgressionComplete(const jpeg_decompress_struct& info)
{
  if (!info.progressive_mode || !info.coef_bits) return true;
  for (int c = 0; c < info.num_components; ++c)
    for (int k = 0; k < DCTSIZE2; ++k)
      if (info.coef_bits[c][k] != 0) return false;
  return true;
}

// The decoder's own working memory: the whole-image coefficient buffers a multi-scan file of
// the claimed size needs (64 two-byte coefficients a block, blocks padded to the sampling
// factors), plus room for its row buffers and tables. A file that would need more is refused
// by libjpeg instead of being allocated.
long DecoderMemoryBound(const jpeg_decompress_struct& info)
{
  uint64_t bytes = 0;
  for (int c = 0; c < info.num_components; ++c) {
    const jpeg_component_info& component = info.comp_info[c];
    const uint64_t h = uint64_t(std::max(component.h_samp_factor, 1)), v = uint64_t(std::max(component.v_samp_factor, 1));
    const uint64_t blocksWide = (uint64_t(component.width_in_blocks) + h - 1) / h * h;
    const uint64_t blocksHigh = (uint64_t(component.height_in_blocks) + v - 1) / v * v;
    bytes += blocksWide * blocksHigh * DCTSIZE2 * sizeof(JCOEF);
  }
  bytes += (uint64_t(16) << 20) + uint64_t(info.image_width) * uint64_t(info.num_components) * 64;
  return long(std::min<uint64_t>(bytes, uint64_t(std::numeric_limits<long>::max())));
}

// Converts one decoded CMYK row (Adobe files store it inverted) to blue, green, red.
void CmykRowToBGR(const JSAMPLE* src, uint8_t* dst, unsigned width, bool inverted)
{
  for (unsigned x = 0; x < width; ++x) {
    const JSAMPLE* p = src + 4 * x;
    unsigned c = p[0], m = p[1], yy = p[2], k = p[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      yy = 255 - yy;
      k = 255 - k;
    }
    dst[3 * x] = uint8_t(yy * k / 255);
    dst[3 * x + 1] = uint8_t(m * k / 255);
    dst[3 * x + 2] = uint8_t(c * k / 255);
  }
}

// Decodes into the given empty surface; false on any failure. A picture of more than
// maxPixels is refused from the header, before libjpeg or the surface allocate anything for
// it (report says so). Nothing with a destructor is created or changed between setjmp and
// the decoder calls: the row buffer belongs to libjpeg.
bool DecodeJpeg(std::FILE* file, cBMPSurface& surface, uint64_t maxPixels, sLoadReport& report)
{
  jpeg_decompress_struct info;
  sJpegError error;
  sCheckedSource source;
  info.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = JpegErrorExit;
  error.Manager.emit_message = JpegMessage;
  if (setjmp(error.Jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  UseCheckedSource(info, source, file);
  jpeg_read_header(&info, TRUE);

  int channels = 3;
  bool cmyk = false;
  switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      info.out_color_space = JCS_GRAYSCALE;
      channels = 1;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      info.out_color_space = JCS_CMYK;
      cmyk = true;
      break;
    default:
      // libjpeg refuses colour spaces it cannot turn into BGR (error exit above).
      info.out_color_space = JCS_EXT_BGR;
      break;
  }
  jpeg_calc_output_dimensions(&info);
  const uint64_t width = info.output_width, height = info.output_height;
  if (width * height > maxPixels) {
    report.TooManyPixels = true;
    report.Width = width;
    report.Height = height;
    jpeg_destroy_decompress(&info);
    return false;
  }
  const uint64_t rowBytes = ((width * (channels == 3 ? 24 : 8) + 31) / 32) * 4;
  if (width == 0 || height == 0 || rowBytes * height > cBMPSurface::MaxImageBytes) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  info.mem->max_memory_to_use = DecoderMemoryBound(info);
  // A multi-scan file is read whole here; its completeness is known before the surface exists.
  jpeg_start_decompress(&info);
  if (!ProgressionComplete(info)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  surface.SetSize(int(width), int(height), channels);
  JSAMPARRAY line = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               info.output_width * JDIMENSION(info.output_components), 1);
  // Adobe writes CMYK inverted.
  const bool inverted = info.saw_Adobe_marker;
  while (info.output_scanline < info.output_height) {
    const int y = int(info.output_scanline);
    jpeg_read_scanlines(&info, line, 1);
    if (cmyk)
      CmykRowToBGR(line[0], surface.Row(y), info.output_width, inverted);
    else
      std::memcpy(surface.Row(y), line[0], size_t(width) * size_t(channels));
  }
  // Damage after the last row (a cut before the end marker) is still damage.
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace

namespace {
// Every live image, so that images measured against one that goes away can forget it.
std::mutex LiveImagesLock;
std::set<cImage*>& LiveImages()
{
  static std::set<cImage*> images;
  return images;
}
}  // namespace

cImage::cImage() : itsBI(std::make_unique<cBMPSurface>())
{
  std::lock_guard<std::mutex> guard(LiveImagesLock);
  LiveImages().insert(this);
}


cImage::~cImage()
{
  DeleteEverything();
  std::lock_guard<std::mutex> guard(LiveImagesLock);
  LiveImages().erase(this);
  for (cImage* image : LiveImages())
    if (image->Origin == this) image->ForgetOrigin();
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

bool cImage::LoadImage(const std::string& fileName)
{
  LoadError.clear();
  const uint64_t started = kvMicrosecondCount();
  bool loaded = false;
  switch (FormatOfName(fileName)) {
    case pfJPEG:
      loaded = LoadJPEG(fileName);
      break;
    case pfBMP:
      loaded = LoadBMP(fileName);
      break;
    case pfPNG:
      loaded = LoadPNG(fileName);
      break;
    case pfTIFF:
      loaded = LoadTIFF(fileName);
      break;
    default:
      break;
  }
  if (!loaded) return false;
  // The title goes wherever the picture's history goes, so a dropped alpha is never silent.
  Title = "Load '" + std::filesystem::path(fileName).filename().string() + "'" + (AlphaDropped ? " (alpha dropped)" : "");
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
  return "The picture is " + std::to_string(width) + " x " + std::to_string(height) + " pixels, more than the limit of " +
         std::to_string(limit) + " pixels; the limit is set with kvadra --max-pixels or in the preferences.";
}

void cImage::NoteRefusal(const sLoadReport& report)
{
  LoadError = report.TooManyPixels ? TooManyPixelsText(report.Width, report.Height, PixelLimit()) : report.Unsupported;
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
  LoadError.clear();
  auto surface = std::make_unique<cBMPSurface>();
  sLoadReport report;
  if (!surface->LoadImage(fileName, PixelLimit(), &report)) {
    NoteRefusal(report);
    return false;
  }
  AcceptLoaded(std::move(surface));
  AlphaDropped = false;
  return true;
}

bool cImage::LoadJPEG(const std::string& fileName)
{
  LoadError.clear();
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  if (!file) return false;
  auto surface = std::make_unique<cBMPSurface>();
  sLoadReport report;
  const bool decoded = DecodeJpeg(file, *surface, PixelLimit(), report);
  std::fclose(file);
  if (!decoded) {
    NoteRefusal(report);
    return false;
  }
  AcceptLoaded(std::move(surface));
  AlphaDropped = false;
  return true;
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
  KV_ASSERT_TEXT(itsBI != nullptr, "itsBI != NULL", "kvKernel_bpl\\kvImages\\cImage");
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

bool SameGeometry(const cBMPSurface& a, const cBMPSurface& b)
{
  return a.GetWidth() == b.GetWidth() && a.GetHeight() == b.GetHeight() &&
         a.GetChannelsCount() == b.GetChannelsCount();
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
  Origin = nullptr;
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
    if (reference && itsBI && !SameGeometry(*reference, *itsBI)) reference = nullptr;
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
  Origin = origin;
  Measured = true;
  cBMPSurface* reference = origin ? origin->GetSurface() : itsBI.get();
  OriginMismatch = !reference || !itsBI || !SameGeometry(*reference, *itsBI);
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
  return "n/a";
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
    for (size_t i = 0; i < values.size() && i < Channels.size(); ++i)
      Channels[i]->StoreIndex(kind, values[i]);
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

bool cImage::IsIndexValid(eQualityIndex kind) const { return Valid[kind]; }
bool cImage::IsIndexRunning(eQualityIndex kind) const { return Running[kind]; }
double cImage::GetIndexValue(eQualityIndex kind) const { return Index[kind]; }

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
