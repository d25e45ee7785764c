#include "kvFiles/cJpegCodec.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include <jpeglib.h>
// jerror.h needs jpeglib.h first.
#include <jerror.h>

namespace {

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
    case JWRN_BOGUS_PROGRESSION: return true;
    case JWRN_EXTRANEOUS_DATA: return info.input_scan_number > 0;
    default: return false;
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
  std::FILE* File = nullptr;  // read from the file, or else from Data
  const uint8_t* Data = nullptr;
  size_t DataLeft = 0;
  JOCTET Piece[PieceSize];

  size_t Read()
  {
    if (File) return std::fread(Piece, 1, PieceSize, File);
    const size_t count = std::min(PieceSize, DataLeft);
    std::memcpy(Piece, Data, count);
    Data += count;
    DataLeft -= count;
    return count;
  }
};

void CheckedSourceInit(j_decompress_ptr) {}
void CheckedSourceTerm(j_decompress_ptr) {}

boolean CheckedSourceFill(j_decompress_ptr info)
{
  auto* source = reinterpret_cast<sCheckedSource*>(info->src);
  size_t count = source->Read();
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

void UseCheckedSource(jpeg_decompress_struct& info, sCheckedSource& source)
{
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
    const uint64_t h = uint64_t(std::max(component.h_samp_factor, 1)),
                   v = uint64_t(std::max(component.v_samp_factor, 1));
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
// it (report says so). Colour only: grey files come out as three equal channels. Nothing
// with a destructor is created or changed between setjmp and the decoder calls: the row
// buffer belongs to libjpeg.
bool DecodeChecked(sCheckedSource& source, bool colourOnly, cBMPSurface& surface, uint64_t maxPixels,
                   sLoadReport& report)
{
  jpeg_decompress_struct info;
  sJpegError error;
  info.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = JpegErrorExit;
  error.Manager.emit_message = JpegMessage;
  if (setjmp(error.Jump)) {
    char message[JMSG_LENGTH_MAX] = {};
    (*info.err->format_message)(reinterpret_cast<j_common_ptr>(&info), message);
    report.Damage = std::string("The JPEG file is damaged: ") + message + ".";
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  UseCheckedSource(info, source);
  jpeg_read_header(&info, TRUE);

  int channels = 3;
  bool cmyk = false;
  switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      if (colourOnly) {
        info.out_color_space = JCS_EXT_BGR;
        break;
      }
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

void JpegSilence(j_common_ptr, int) {}

}  // namespace

// Both codec functions keep objects with destructors out of the region between setjmp and the
// codec calls, so a jump back skips nothing that needs cleaning up.
bool cJpegCodec::Encode(const uint8_t* bgr, int width, int height, size_t stride, int quality,
                        std::vector<uint8_t>& jpeg)
{
  if (width <= 0 || height <= 0 || bgr == nullptr) return false;
  jpeg_compress_struct info;
  sJpegError error;
  info.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = JpegErrorExit;
  error.Manager.emit_message = JpegSilence;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(error.Jump)) {
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(width);
  info.image_height = JDIMENSION(height);
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(bgr + size_t(info.next_scanline) * stride);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg.assign(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return true;
}

bool cJpegCodec::Decode(std::FILE* file, cBMPSurface& surface, uint64_t maxPixels, sLoadReport& report)
{
  sCheckedSource source;
  source.File = file;
  return DecodeChecked(source, false, surface, maxPixels, report);
}

bool cJpegCodec::Decode(const uint8_t* jpeg, size_t size, std::vector<uint8_t>& bgr, int& width, int& height,
                        uint64_t maxPixels)
{
  if (jpeg == nullptr || size == 0) return false;
  sCheckedSource source;
  source.Data = jpeg;
  source.DataLeft = size;
  cBMPSurface surface;
  sLoadReport report;
  if (!DecodeChecked(source, true, surface, maxPixels, report)) return false;
  width = surface.GetWidth();
  height = surface.GetHeight();
  const size_t rowBytes = size_t(width) * 3;
  bgr.resize(rowBytes * size_t(height));
  for (int y = 0; y < height; ++y) std::memcpy(bgr.data() + size_t(y) * rowBytes, surface.Row(y), rowBytes);
  return true;
}
