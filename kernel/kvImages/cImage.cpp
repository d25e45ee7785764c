#include "cImage.h"

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <jpeglib.h>

#include "cUserDialogs.h"
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

void JpegSilence(j_common_ptr, int) {}

// Decodes into a new surface; nullptr on any failure. Kept free of C++ objects with
// destructors between setjmp and the decoder calls.
std::unique_ptr<cBMPSurface> DecodeJpeg(std::FILE* file)
{
  jpeg_decompress_struct info;
  sJpegError error;
  info.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = JpegErrorExit;
  error.Manager.emit_message = JpegSilence;
  auto surface = std::make_unique<cBMPSurface>();
  std::vector<uint8_t> line;
  if (setjmp(error.Jump)) {
    jpeg_destroy_decompress(&info);
    return nullptr;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
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
      info.out_color_space = JCS_EXT_BGR;
      break;
  }
  jpeg_start_decompress(&info);
  const uint64_t width = info.output_width, height = info.output_height;
  const uint64_t rowBytes = ((width * (channels == 3 ? 24 : 8) + 31) / 32) * 4;
  if (width == 0 || height == 0 || width > uint64_t(INT32_MAX / 32) || rowBytes * height > cBMPSurface::MaxImageBytes) {
    jpeg_destroy_decompress(&info);
    return nullptr;
  }
  surface->SetSize(int(width), int(height), channels);
  line.resize(size_t(width) * size_t(info.output_components));
  while (info.output_scanline < info.output_height) {
    const unsigned y = info.output_scanline;
    JSAMPROW row = line.data();
    jpeg_read_scanlines(&info, &row, 1);
    uint8_t* dst = surface->Row(int(y));
    if (!cmyk) {
      std::memcpy(dst, line.data(), size_t(width) * size_t(channels));
      continue;
    }
    // Adobe writes CMYK inverted; the usual conversion multiplies by the key.
    const bool inverted = info.saw_Adobe_marker;
    for (uint64_t x = 0; x < width; ++x) {
      const uint8_t* p = &line[4 * x];
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
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return surface;
}

}  // namespace

cImage::cImage() : itsBI(std::make_unique<cBMPSurface>()) {}

cImage::~cImage()
{
  DeleteEverything();
}

void cImage::DeleteEverything()
{
  itsBI.reset();
}

void cImage::AcceptLoaded(std::unique_ptr<cBMPSurface> surface)
{
  DeleteEverything();
  itsBI = std::move(surface);
}

bool cImage::LoadImage(const std::string& fileName)
{
  const uint32_t started = kvTickCount();
  const std::string ext = UpperExtension(fileName);
  bool loaded = false;
  if (ext == ".JPG")
    loaded = LoadJPEG(fileName);
  else if (ext == ".BMP")
    loaded = LoadBMP(fileName);
  if (!loaded) return false;
  Title = "Load '" + std::filesystem::path(fileName).filename().string() + "'";
  Time = kvTickCount() - started;
  return true;
}

bool cImage::LoadBMP(const std::string& fileName)
{
  auto surface = std::make_unique<cBMPSurface>();
  if (!surface->LoadImage(fileName)) return false;
  AcceptLoaded(std::move(surface));
  return true;
}

bool cImage::LoadJPEG(const std::string& fileName)
{
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  if (!file) return false;
  auto surface = DecodeJpeg(file);
  std::fclose(file);
  if (!surface) return false;
  AcceptLoaded(std::move(surface));
  return true;
}

bool cImage::SaveImage(const std::string& fileName)
{
  if (!itsBI) {
    cUserDialogs::ShowMessage("KVImage::SaveImage() Nothing to Save!");
    return false;
  }
  return itsBI->SaveImage(fileName);
}

void cImage::SetSize(int width, int height, int channels)
{
  // The surface object is kept so that operations holding it stay valid.
  std::unique_ptr<cBMPSurface> surface = std::move(itsBI);
  DeleteEverything();
  itsBI = surface ? std::move(surface) : std::make_unique<cBMPSurface>();
  itsBI->SetSize(width, height, channels);
}

void cImage::MakeCopyFrom(const cImage& other)
{
  if (&other == this) return;
  if (!itsBI) itsBI = std::make_unique<cBMPSurface>();
  if (other.itsBI)
    itsBI->MakeCopyFrom(*other.itsBI);
  else
    itsBI->SetSize(0, 0, 3);
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

// Placeholders of the measures; replaced by the channel statistics and quality criteria.
void cImage::CalculateProperties(cImage* origin)
{
  Origin = origin;
}
void cImage::PrepareHistogram() {}
cBMPSurface* cImage::GetSpectrumBI(SpectrumType, double) { return nullptr; }
void cImage::RemoveFFT() {}
std::string cImage::GetMeasureStr(const std::string&) { return "n/a"; }
void cImage::RemoveIQ() {}
bool cImage::IsIndexValid(eQualityIndex) const { return false; }
bool cImage::IsIndexRunning(eQualityIndex) const { return false; }
double cImage::GetIndexValue(eQualityIndex) const { return 1.0; }
double cImage::CalculateIndexNow(eQualityIndex) { return 1.0; }
